// Xvfb on a display number of its own, checked with a client before use.
#include "tests/support/xvfb.h"

#include <unistd.h>

#include <QElapsedTimer>

#include "tests/support/tools.h"

namespace tonare_test {
namespace {

constexpr int StartMs = 5000;
constexpr int PollMs = 200;
constexpr int CheckMs = 5000;
// Far above the low numbers that desktops and other tools take first, spread by
// process id so that parallel tests rarely try the same one.
constexpr int FirstDisplay = 100;
constexpr int DisplaySpread = 800;
constexpr int Attempts = 8;

}  // namespace

Xvfb::~Xvfb() {
    Stop();
}

bool Xvfb::Start(int displayMs) {
    const int base = static_cast<int>(::getpid()) % DisplaySpread;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        const QString display = ":" + QString::number(FirstDisplay + (base + attempt * 97) % DisplaySpread);
        process_.setStandardErrorFile(QProcess::nullDevice());
        // -noreset: by default the server resets whenever its last client leaves,
        // and a program connecting just then (between two xdotool calls) fails.
        process_.start("Xvfb",
                       {display, "-displayfd", "1", "-noreset", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!process_.waitForStarted(StartMs)) {
            error_ = "Xvfb did not start: " + process_.errorString();
            return false;
        }
        // It reports the number once it accepts clients; it ends when the number is taken.
        QElapsedTimer timer;
        timer.start();
        while (!process_.canReadLine() && process_.state() == QProcess::Running && timer.elapsed() < displayMs) {
            process_.waitForReadyRead(PollMs);
        }
        const QByteArray number = process_.readLine().trimmed();
        // A server of someone else's that holds the same abstract socket would
        // take our clients: only a display that answers a client is ours.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("XAUTHORITY");
        if (!number.isEmpty() && RunTool("xdpyinfo", {"-display", display}, env, CheckMs).exitCode == 0) {
            display_ = display;
            return true;
        }
        Stop();
        error_ = "no display of its own came up, last tried " + display;
    }
    return false;
}

void Xvfb::Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(StartMs)) {
        process_.kill();
        process_.waitForFinished(StartMs);
    }
}

QProcessEnvironment Xvfb::Environment(QProcessEnvironment base) const {
    base.insert("DISPLAY", display_);
    base.insert("QT_QPA_PLATFORM", "xcb");
    base.remove("XAUTHORITY");
    return base;
}

}  // namespace tonare_test
