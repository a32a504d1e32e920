// Helper tools run to their end, polling with a time limit, and the disk driver's audio file read back.
#include "tests/support/tools.h"

#include <QElapsedTimer>
#include <QFile>
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

QProcessEnvironment WithDiskAudio(QProcessEnvironment env, const QString& file, int delayMs) {
    env.insert("SDL_AUDIODRIVER", "disk");
    env.insert("SDL_DISKAUDIOFILE", file);
    env.insert("SDL_DISKAUDIODELAY", QString::number(delayMs));
    return env;
}

std::vector<QByteArray> SoundingBlocks(const QString& path, qsizetype blockBytes) {
    QFile file(path);
    std::vector<QByteArray> blocks;
    if (!file.open(QIODevice::ReadOnly)) return blocks;
    const QByteArray data = file.readAll();
    bool sounding = false;
    for (qsizetype at = 0; at + blockBytes <= data.size(); at += blockBytes) {
        const QByteArray block = data.mid(at, blockBytes);
        sounding = sounding || block.count('\0') != blockBytes;
        if (sounding) blocks.push_back(block);
    }
    return blocks;
}

}  // namespace tonare_test
