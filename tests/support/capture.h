// What a sound server plays, recorded from its null sink's monitor with parec as
// raw signed 16-bit little-endian stereo at 44100 Hz, the program's own format.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include "tests/support/sound_server.h"

namespace tonare_test {

constexpr int CaptureFrameBytes = 4;   // s16le, two channels

// Index of the first frame with a nonzero sample, from frame `from` on; -1 if none.
qsizetype FirstSoundingFrame(const QByteArray& pcm, qsizetype from = 0);

class MonitorCapture {
public:
    // Records `server`'s monitor into `file` (in the test's temporary folder).
    MonitorCapture(const SoundServer& server, const QString& file);
    ~MonitorCapture();
    MonitorCapture(const MonitorCapture&) = delete;
    MonitorCapture& operator=(const MonitorCapture&) = delete;

    // Starts parec with 20 ms latency and gives its stream time to connect,
    // so a sound started afterwards is recorded from its beginning.
    bool Start();
    void Stop();

    // Everything recorded so far, and its length in frames.
    QByteArray Pcm() const;
    qsizetype Frames() const;

    // Waits up to `timeoutMs` until the recording holds sound and `frames`
    // frames from its first sounding one; returns the recording and sets `first`
    // (-1 when nothing sounded).
    QByteArray WaitForSound(qsizetype frames, qsizetype* first, int timeoutMs = 15000) const;

private:
    const SoundServer& server_;
    QString file_;
    QProcess parec_;
};

}  // namespace tonare_test
