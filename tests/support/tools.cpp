// Helper tools run to their end, and polling with a time limit.
#include "tests/support/tools.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

namespace tonare_test {

ToolResult RunTool(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                   int timeoutMs) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, args);
    ToolResult result;
    if (!process.waitForStarted(timeoutMs)) return result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
    } else {
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    result.out = process.readAllStandardOutput().trimmed();
    return result;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs, int pollMs) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (done()) return true;
        if (timer.elapsed() >= timeoutMs) return false;
        QThread::msleep(static_cast<unsigned long>(pollMs));
    }
}

}  // namespace tonare_test
