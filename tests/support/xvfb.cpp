// Xvfb started with -displayfd, so parallel tests never race for a display number.
#include "tests/support/xvfb.h"

#include <QElapsedTimer>

namespace tonare_test {
namespace {

constexpr int StartMs = 5000;
constexpr int PollMs = 200;

}  // namespace

Xvfb::~Xvfb() {
    Stop();
}

bool Xvfb::Start(int displayMs) {
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    if (!process_.waitForStarted(StartMs)) {
        error_ = "Xvfb did not start: " + process_.errorString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && process_.state() == QProcess::Running && timer.elapsed() < displayMs) {
        process_.waitForReadyRead(PollMs);
    }
    const QByteArray number = process_.readLine().trimmed();
    if (number.isEmpty()) {
        error_ = "Xvfb did not report its display";
        return false;
    }
    display_ = ":" + QString::fromLatin1(number);
    return true;
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
