// SPDX-License-Identifier: GPL-3.0-or-later
#include "netnotes/NetUsers.h"

#include "platform/TextFiles.h"

#include <QStringList>

namespace {
const QString LineSeparator = QStringLiteral(" , ");

// A part of a line without the blanks around it. An invisible U+FEFF (a byte-order mark that landed mid-file, or
// pasted in) counts as a blank: a file that begins with one loses it when read, so a name must not keep one at its
// start or it would change between saving and reading back.
QString part(QStringView text)
{
    const auto blank = [](QChar c) { return c.isSpace() || c == QChar(0xFEFF); };
    while (!text.isEmpty() && blank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    return text.toString();
}
} // namespace

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
        if (part(line).isEmpty())
            continue;
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            users.append({part(line), QString()});
        else
            users.append({part(line.first(comma)), part(line.sliced(comma + 1))});
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
