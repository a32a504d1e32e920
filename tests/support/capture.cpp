// parec on the monitor of the private server's null sink, read back from its file.
#include "tests/support/capture.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "tests/support/tools.h"

namespace tonare_test {
namespace {

constexpr int LaunchMs = 5000;
constexpr unsigned long ConnectMs = 300;
constexpr int PollMs = 50;

}  // namespace

qsizetype FirstSoundingFrame(const QByteArray& pcm, qsizetype from) {
    for (qsizetype f = from; (f + 1) * CaptureFrameBytes <= pcm.size(); ++f) {
        const char* frame = pcm.constData() + f * CaptureFrameBytes;
        if (frame[0] || frame[1] || frame[2] || frame[3]) return f;
    }
    return -1;
}

MonitorCapture::MonitorCapture(const SoundServer& server, const QString& file) : server_(server), file_(file) {}

MonitorCapture::~MonitorCapture() {
    Stop();
}

bool MonitorCapture::Start() {
    parec_.setProcessEnvironment(server_.ClientEnvironment());
    parec_.setStandardOutputFile(file_, QIODevice::Truncate);
    parec_.setStandardErrorFile(QProcess::nullDevice());
    parec_.start("parec", {"--raw", "--format=s16le", "--channels=2", "--rate=44100", "--latency-msec=20", "-d",
                           SoundServer::MonitorName});
    if (!parec_.waitForStarted(LaunchMs)) return false;
    QThread::msleep(ConnectMs);
    return parec_.state() == QProcess::Running;
}

void MonitorCapture::Stop() {
    if (parec_.state() == QProcess::NotRunning) return;
    parec_.kill();
    parec_.waitForFinished(LaunchMs);
}

QByteArray MonitorCapture::Pcm() const {
    QFile file(file_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qsizetype MonitorCapture::Frames() const {
    return QFileInfo(file_).size() / CaptureFrameBytes;
}

QByteArray MonitorCapture::WaitForSound(qsizetype frames, qsizetype* first, int timeoutMs) const {
    QByteArray pcm;
    WaitUntil(
        [&] {
            pcm = Pcm();
            *first = FirstSoundingFrame(pcm);
            return *first >= 0 && pcm.size() / CaptureFrameBytes >= *first + frames;
        },
        timeoutMs, PollMs);
    return pcm;
}

}  // namespace tonare_test
