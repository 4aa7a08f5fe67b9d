// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "clock/TimeSource.h"

#include <QTcpSocket>

// A DAYTIME server (RFC 867): one connection per question, whose one line of text is the answer.
class DaytimeSource : public TimeSource {
    Q_OBJECT
public:
    // The DAYTIME port is 13; tests use servers of their own elsewhere.
    explicit DaytimeSource(quint16 port = 13, QObject *parent = nullptr);

    void ask(const QString &host, quint16 port) override;
    void abort() override;
    std::optional<NewClockTime> timeFrom(const QByteArray &answer, int hoursOff, bool withDate,
                                         const QDate &today) const override;

private:
    void read();
    void closed();
    void answer();

    // A child, so that tests can watch the connection close.
    QTcpSocket m_socket;
    quint16 m_port;
    QByteArray m_reply;
    bool m_asking = false;
};
