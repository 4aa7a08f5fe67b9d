#include "netnotes/NetUsers.h"

#include "platform/TextFiles.h"

#include <QStringList>

namespace {
const QString LineSeparator = QStringLiteral(" , ");
}

QString netUserLine(const NetUser &user)
{
    return user.address + LineSeparator + user.nickname;
}

NetUser netUserFromLine(const QString &line)
{
    const qsizetype at = line.indexOf(LineSeparator);
    if (at < 0)
        return {line, QString()};
    return {line.left(at), line.mid(at + LineSeparator.size())};
}

QList<NetUser> decodeNetUsers(const QByteArray &bytes)
{
    QList<NetUser> users;
    const QString text = platform::decodeText(bytes);
    for (QStringView line : QStringView(text).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            users.append({line.trimmed().toString(), QString()});
        else
            users.append({line.first(comma).trimmed().toString(), line.sliced(comma + 1).trimmed().toString()});
    }
    return users;
}

QByteArray encodeNetUserLines(const QStringList &lines)
{
    QByteArray bytes;
    for (const QString &line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}
