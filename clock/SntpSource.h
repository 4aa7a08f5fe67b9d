// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clock/SntpPacket.h"
#include "clock/TimeSource.h"

#include <QPointer>
#include <QUdpSocket>

// An SNTP server (RFC 4330): one datagram per question, on a socket of its own so that a late reply to an earlier
// question cannot answer this one. The reply is read when it comes, with our clock's time of reception, and the time
// to set is our clock corrected by the offset measured, when it is set.
class SntpSource : public TimeSource {
    Q_OBJECT
public:
    // The NTP port is 123; tests use servers of their own elsewhere.
    explicit SntpSource(quint16 port = sntp::Port, QObject *parent = nullptr);

    void ask(const QString &host, quint16 port) override;
    void abort() override;
    // NTP tells UTC: the instant stands whatever the hour offset typed, as for NIST's DAYTIME replies. Without the
    // date, today's date keeps the corrected time of day.
    std::optional<NewClockTime> timeFrom(const QByteArray &answer, int hoursOff, bool withDate,
                                         const QDate &today) const override;
    std::optional<Details> details() const override;

Q_SIGNALS:
    // A reply was taken: how far our clock is behind the server's, and the round trip's time on the way.
    void measured(qint64 offsetUs, qint64 delayUs);

private:
    void send(const QHostAddress &server, quint16 port);
    void read();

    quint16 m_port;
    QPointer<QUdpSocket> m_socket;
    int m_lookup = -1;
    std::optional<sntp::Question> m_question;
    std::optional<sntp::Measurement> m_measured;
};
