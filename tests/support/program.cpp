// The program under test in its own process; xdotool finds and clicks its window.
#include "tests/support/program.h"

#include <signal.h>

#include <QThread>

#include "tests/support/tools.h"

namespace tonare_test {
namespace {

constexpr int LaunchMs = 5000;
constexpr unsigned long ClickSettleMs = 150;

}  // namespace

ProgramUnderTest::~ProgramUnderTest() {
    Kill();
}

bool ProgramUnderTest::Start(const QProcessEnvironment& env, const QStringList& args) {
    env_ = env;
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(executable_, args);
    return process_.waitForStarted(LaunchMs);
}

QString ProgramUnderTest::StartAndWaitForWindow(const QProcessEnvironment& env, const QStringList& args) {
    return Start(env, args) ? WaitForWindow() : QString();
}

QString ProgramUnderTest::WaitForWindow() {
    return Xdotool({"search", "--sync", "--onlyvisible", "--name", WindowTitle}).section('\n', 0, 0);
}

QString ProgramUnderTest::Xdotool(const QStringList& args) const {
    return QString::fromLatin1(RunTool("xdotool", args, env_).out);
}

namespace {

// "X=..", "Y=.." from xdotool's --shell output; false when either is missing.
bool ShellPosition(const QString& shell, int* x, int* y) {
    bool hasX = false;
    bool hasY = false;
    for (const QString& line : shell.split('\n')) {
        if (line.startsWith("X=")) *x = line.mid(2).toInt(&hasX);
        if (line.startsWith("Y=")) *y = line.mid(2).toInt(&hasY);
    }
    return hasX && hasY;
}

}  // namespace

void ProgramUnderTest::Click(const QString& window, int x, int y) const {
    // "mousemove --sync" waits until the pointer has left where it was, so a move
    // to where it already is would wait for many seconds: click in place then.
    int left = 0;
    int top = 0;
    int pointerX = 0;
    int pointerY = 0;
    if (ShellPosition(Xdotool({"getwindowgeometry", "--shell", window}), &left, &top) &&
        ShellPosition(Xdotool({"getmouselocation", "--shell"}), &pointerX, &pointerY) &&
        pointerX == left + x && pointerY == top + y) {
        Xdotool({"click", "1"});
    } else {
        Xdotool({"mousemove", "--sync", "--window", window, QString::number(x), QString::number(y), "click", "1"});
    }
    QThread::msleep(ClickSettleMs);
}

bool ProgramUnderTest::WaitForExit(int timeoutMs) {
    return process_.state() == QProcess::NotRunning || process_.waitForFinished(timeoutMs);
}

void ProgramUnderTest::Kill() {
    if (process_.state() == QProcess::NotRunning) return;
    ::kill(static_cast<pid_t>(process_.processId()), SIGCONT);
    process_.kill();
    process_.waitForFinished(LaunchMs);
}

}  // namespace tonare_test
