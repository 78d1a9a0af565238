#include "update/ProgramCheck.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <elf.h>

#include <cstring>

namespace {

// e_ident, then e_type and e_machine: the same offsets in 32-bit and 64-bit files.
constexpr int HeadBytes = EI_NIDENT + 4;

struct ElfHead {
    QByteArray bytes;

    bool isElf() const
    {
        return bytes.size() == HeadBytes && std::memcmp(bytes.constData(), ELFMAG, SELFMAG) == 0;
    }
    // Read in this machine's byte order: only compared once the order is known to be the same.
    quint16 field(int offset) const
    {
        quint16 value;
        std::memcpy(&value, bytes.constData() + offset, sizeof value);
        return value;
    }
    quint16 type() const { return field(EI_NIDENT); }
    quint16 machine() const { return field(EI_NIDENT + 2); }
};

ElfHead readHead(const QString& file)
{
    QFile in(file);
    return ElfHead{in.open(QIODevice::ReadOnly) ? in.read(HeadBytes) : QByteArray()};
}

} // namespace

bool ProgramCheck::isExecutableForThisMachine(const QString& file)
{
    const ElfHead own = readHead(QStringLiteral("/proc/self/exe"));
    const ElfHead candidate = readHead(file);
    return own.isElf() && candidate.isElf() && candidate.bytes[EI_CLASS] == own.bytes[EI_CLASS] &&
           candidate.bytes[EI_DATA] == own.bytes[EI_DATA] &&
           (candidate.type() == ET_EXEC || candidate.type() == ET_DYN) &&
           candidate.machine() == own.machine();
}

// Without a display of its own: a program that does not know "--version" and starts its window
// instead stays invisible until the time-out ends it.
bool ProgramCheck::answersVersion(const QString& file, const QString& version,
                                  std::chrono::milliseconds timeout)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(file, {QStringLiteral("--version")});
    if (!process.waitForFinished(int(timeout.count()))) {
        process.kill();
        process.waitForFinished(int(timeout.count()));
        return false;
    }
    const QString firstLine =
        QString::fromLocal8Bit(process.readAllStandardOutput()).section(u'\n', 0, 0);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
           firstLine.simplified().section(u' ', -1) == version;
}
