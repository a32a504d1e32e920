// Running a helper tool to its end, and waiting for a condition, for the test support.
#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

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

}  // namespace tonare_test
