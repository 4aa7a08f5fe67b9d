// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TextFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

bool syncAndClose(QFile &file)
{
    const bool flushed = file.flush() && ::fsync(file.handle()) == 0;
    file.close();
    return flushed && file.error() == QFileDevice::NoError;
}

void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool isUtf8(QByteArrayView bytes)
{
    QStringDecoder probe(QStringDecoder::Utf8);
    const QString probed = probe.decode(bytes); // the decoder only runs once its result is taken
    return !probe.hasError();
}

// Windows-1252 differs from Latin-1 only in 0x80-0x9F.
QString fromWindows1252(QByteArrayView bytes)
{
    static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(QChar(b >= 0x80 && b < 0xA0 ? high[b - 0x80] : char16_t(b)));
    }
    return text;
}

QString decodeText(QByteArrayView bytes)
{
    return isUtf8(bytes) ? QString::fromUtf8(bytes) : fromWindows1252(bytes);
}

std::optional<ErrorKind> replaceFile(const QString &path, const QString &backupPath, const QByteArray &bytes,
                                     std::optional<QFileDevice::Permissions> permissions)
{
    const QString temporary = path + QStringLiteral(".new");
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return ErrorKind::PathAccess;
    // Set before a byte is written: a private file is never readable by others, not even for a moment.
    if (permissions && !file.setPermissions(*permissions)) {
        file.close();
        QFile::remove(temporary);
        return ErrorKind::PathAccess;
    }
    if (file.write(bytes) != bytes.size() || !syncAndClose(file)) {
        const bool full = file.error() == QFileDevice::ResourceError || errno == ENOSPC;
        QFile::remove(temporary);
        return full ? ErrorKind::DiskFull : ErrorKind::PathAccess;
    }
    // The file keeps its name throughout: the backup is a second name for it, then the new file replaces it.
    const QByteArray current = QFile::encodeName(path);
    const QByteArray backup = QFile::encodeName(backupPath);
    if (!backupPath.isEmpty() && QFile::exists(path)) {
        QFile::remove(backupPath);
        if (::link(current.constData(), backup.constData()) != 0 && !QFile::copy(path, backupPath)) {
            QFile::remove(temporary);
            return ErrorKind::PathAccess;
        }
    }
    if (::rename(QFile::encodeName(temporary).constData(), current.constData()) != 0) {
        QFile::remove(temporary);
        return ErrorKind::PathAccess;
    }
    syncFolder(path);
    return std::nullopt;
}

QString withLf(const QString &text)
{
    QString lf = text;
    lf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lf.replace(u'\r', u'\n');
    return lf;
}

QString withCrLf(const QString &text)
{
    return withLf(text).replace(u'\n', QStringLiteral("\r\n"));
}

} // namespace platform
