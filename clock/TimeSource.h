// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clock/DaytimeReply.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <optional>

// Where the clock sync gets a reading of the time: a server that is asked once per attempt and answers once. DAYTIME
// is one such source; another protocol is another subclass, and the sync around it stays as it is.
class TimeSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Asks `host` for the time, on `port` or, when that is 0, on the port the source was made with, dropping a
    // question still under way. An empty host is asked nothing, so the attempt ends by the sync's time-out.
    virtual void ask(const QString &host, quint16 port) = 0;
    // Drops the question under way; nothing more is reported for it.
    virtual void abort() = 0;
    // The time to set from an answer, with the user's hour offset and choice of date, today being `today`. Nothing
    // when the answer gives no time to set; the source logs why.
    virtual std::optional<NewClockTime> timeFrom(const QByteArray &answer, int hoursOff, bool withDate,
                                                 const QDate &today) const = 0;
    // What the last usable answer measured beyond the time itself, where the protocol tells it (SNTP does).
    struct Details {
        qint64 offsetUs = 0;
        qint64 delayUs = 0;
        int stratum = 0;
    };
    virtual std::optional<Details> details() const { return std::nullopt; }

Q_SIGNALS:
    // The server's whole answer, once per question.
    void answered(const QByteArray &answer);
    // The answer is not to be used, for `reason`; `stopAsking`: the server asked not to be asked again, which holds
    // until the user acts.
    void refused(const QString &reason, bool stopAsking);
    // The connection failed; the server closing it after its answer is no failure.
    void failed(QAbstractSocket::SocketError error, const QString &description);
};
