// The program under test in its own process; xdotool finds and clicks its window.
#include "tests/support/program.h"

#include <signal.h>

#include <QThread>

#include "tests/support/tools.h"

namespace tonare_test {
namespace {

constexpr int LaunchMs = 5000;
constexpr unsigned long ClickSettleMs = 150;
constexpr int WindowMs = 20000;
constexpr int WindowPollMs = 50;

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
    // Polled here rather than with "search --sync", which looks only every half
    // second: the time until the window shows is measured by some tests.
    QString window;
    WaitUntil(
        [&] {
            window = Xdotool({"search", "--onlyvisible", "--name", WindowTitle}).section('\n', 0, 0);
            return !window.isEmpty() || !Running();
        },
        WindowMs, WindowPollMs);
    return window;
}

QString ProgramUnderTest::Xdotool(const QStringList& args) const {
    // Another move makes the pointer's place unknown again.
    if (args.contains("mousemove")) pointerWindow_.clear();
    return QString::fromLatin1(RunTool("xdotool", args, env_).out);
}

void ProgramUnderTest::Click(const QString& window, int x, int y) const {
    // "mousemove --sync" waits until the pointer has left where it was, so a move
    // to where it already is would wait for many seconds: click in place then.
    if (window == pointerWindow_ && x == pointerX_ && y == pointerY_) {
        Xdotool({"click", "1"});
    } else {
        Xdotool({"mousemove", "--sync", "--window", window, QString::number(x), QString::number(y), "click", "1"});
        pointerWindow_ = window;
        pointerX_ = x;
        pointerY_ = y;
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
