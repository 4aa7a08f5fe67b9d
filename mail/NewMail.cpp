// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/NewMail.h"

#include <algorithm>

bool HasNewMail(const MailboxMemory &memory, int count, const QStringList &ids)
{
    if (memory.ids && !ids.isEmpty()) {
        for (const QString &id : ids) {
            if (!memory.ids->contains(id))
                return true;
        }
        return false;
    }
    return count > memory.lastCount;
}

QList<int> NewMessages(const MailboxMemory &memory, int count, const QStringList &ids)
{
    QList<int> fresh;
    if (memory.ids && !ids.isEmpty()) {
        for (int i = 0; i < ids.size(); ++i)
            if (!memory.ids->contains(ids[i]))
                fresh.append(i);
        return fresh;
    }
    for (int i = std::max(memory.lastCount, 0); i < count; ++i)
        fresh.append(i);
    return fresh;
}

void Remember(MailboxMemory &memory, int count, const QStringList &ids)
{
    memory.lastCount = count;
    if (ids.isEmpty() && count > 0) {
        memory.ids.reset();
        memory.headers.clear();
        return;
    }
    memory.ids = QSet<QString>(ids.cbegin(), ids.cend());
    memory.adopted.intersect(*memory.ids);
    for (auto it = memory.headers.begin(); it != memory.headers.end();)
        it = memory.ids->contains(it.key()) ? std::next(it) : memory.headers.erase(it);
}

int NewMessages(const MailboxMemory &before, const MailboxMemory &now)
{
    if (before.ids && now.ids && before.uidValidity == now.uidValidity) {
        int fresh = 0;
        for (const QString &id : *now.ids)
            fresh += before.ids->contains(id) || now.adopted.contains(id) ? 0 : 1;
        return fresh;
    }
    return std::max(0, now.lastCount - before.lastCount);
}

QString NoticeEntry(const QString &from, const QString &subject, const QString &tag)
{
    return QStringLiteral("From:  ") + from + QStringLiteral("\r\nSubject:  ") + subject + tag +
           QStringLiteral("\r\n\r\n");
}

QString AccountTag(int accounts, const QString &server)
{
    return accounts == 1 ? QString() : QStringLiteral(" (") + server + u')';
}

int CheckMinutes(const QString &checkTime)
{
    // The leading number, as "0 (=never)" and "10" are stored.
    qsizetype end = 0;
    const QString text = checkTime.trimmed();
    while (end < text.size() && text[end].isDigit())
        ++end;
    return text.left(end).toInt();
}

bool IsUnsetAccount(const QString &server)
{
    const QString trimmed = server.trimmed();
    return trimmed.isEmpty() || trimmed.startsWith(QStringLiteral("- Internetaddress to mailserver"));
}
