// Running a helper tool to its end, waiting for a condition, and reading back the
// audio file of SDL's disk driver, for the test support.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tonare_test {

struct ToolResult {
    bool finished = false;   // ended by itself within the time limit
    int exitCode = -1;
    QByteArray out;          // standard output, trimmed
};

// Runs `program` with `args` in `env` and waits up to `timeoutMs`; a tool still
// running then is killed and reported as not finished.
ToolResult RunTool(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                   int timeoutMs = 20000);

// Polls `done` every `pollMs` until it returns true (true) or `timeoutMs` passed (false).
bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 100);

// `env` with SDL's disk driver writing the played sound to `file`, one block per
// `delayMs` milliseconds.
QProcessEnvironment WithDiskAudio(QProcessEnvironment env, const QString& file, int delayMs = 10);

// The blocks of `blockBytes` bytes in a file from SDL's disk driver, from the
// first that is not all zero: what was played after the paused device's silence.
std::vector<QByteArray> SoundingBlocks(const QString& path, qsizetype blockBytes);

}  // namespace tonare_test
