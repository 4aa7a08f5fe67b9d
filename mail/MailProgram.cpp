// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailProgram.h"

#include <QFile>
#include <QRegularExpression>

QString MailProgramCommand(const QString &emailPath)
{
    const QString path = emailPath.trimmed();
    if (path.isEmpty() || path.startsWith(u'-'))
        return {};
    if (!path.endsWith(QLatin1String(".desktop")))
        return path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return path;
    bool inEntry = false;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'['))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5).remove(QRegularExpression(QStringLiteral("%[a-zA-Z]"))).trimmed();
    }
    return {};
}
