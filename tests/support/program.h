// The real program under test, started with a given environment (usually from
// Xvfb::Environment and SoundServer::ClientEnvironment) and driven with xdotool.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace tonare_test {

class ProgramUnderTest {
public:
    static constexpr const char* WindowTitle = "^TONARE Wave Generator$";

    // `executable` is the path of the program, e.g. TONARE_KURVIL.
    explicit ProgramUnderTest(const QString& executable) : executable_(executable) {}
    ~ProgramUnderTest();   // kills a program still running (also a stopped one)
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // Starts the program; its output goes to the test's own output.
    bool Start(const QProcessEnvironment& env, const QStringList& args = {});
    // Starts it and returns its main window's X id once shown, "" when no window
    // showed within 20 s or the program ended first.
    QString StartAndWaitForWindow(const QProcessEnvironment& env, const QStringList& args = {});
    QString WaitForWindow();

    // xdotool in the program's environment (its DISPLAY); returns its output.
    QString Xdotool(const QStringList& args) const;
    // Moves the pointer to (x, y) of the window's client area, clicks button 1
    // and gives the event loop a moment to handle it; clicking the same point
    // twice in a row is fine.
    void Click(const QString& window, int x, int y) const;

    // Waits for the program to end; true when it ended within `timeoutMs`.
    bool WaitForExit(int timeoutMs);
    bool ExitedNormally() const { return process_.exitStatus() == QProcess::NormalExit; }
    int ExitCode() const { return process_.exitCode(); }
    bool Running() const { return process_.state() != QProcess::NotRunning; }
    void Kill();

private:
    QString executable_;
    QProcessEnvironment env_;
    QProcess process_;
    // Where the last Click left the pointer; empty window when unknown.
    mutable QString pointerWindow_;
    mutable int pointerX_ = 0;
    mutable int pointerY_ = 0;
};

}  // namespace tonare_test
