// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ErrorLog.h"

#include "core/DateText.h"
#include "platform/Clock.h"
#include "platform/Paths.h"

#include <QFile>

void logError(const QString &message)
{
    const QDateTime now = platform::Clock::now();
    const QString stamp = formatTime(now.time()) + u" : " + formatDate(now.date());
    const QString line = u'"' + message + u"\",\"" + stamp + u"\"\r\n";

    QFile file(platform::dataFile(QStringLiteral("error.log")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(line.toUtf8());
    const qint64 size = file.size();
    file.close();
    if (size > ErrorLogLimit)
        file.remove();
}

void logError(const QString &tag, platform::ErrorKind kind, const QString &extra)
{
    const platform::ErrorInfo info = platform::errorInfo(kind);
    logError(tag, info.number, info.description, extra);
}

void logError(const QString &tag, int number, const QString &description, const QString &extra)
{
    QString message = tag + QString::number(number) + u' ' + description;
    if (!extra.isEmpty())
        message += u' ' + extra;
    logError(message);
}
