// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/DaytimeSource.h"

#include "core/ErrorLog.h"

namespace {
// A reply longer than any DAYTIME line is read as it stands.
constexpr qsizetype MaxReply = 4096;
const QString ReadTag = QStringLiteral("err_Time_Winsock1_DataArrival ");
} // namespace

DaytimeSource::DaytimeSource(quint16 port, QObject *parent) : TimeSource(parent), m_socket(this), m_port(port)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &DaytimeSource::read);
    connect(&m_socket, &QTcpSocket::disconnected, this, &DaytimeSource::closed);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // The server closing after its line is the end of a reply, not an error.
        if (error != QAbstractSocket::RemoteHostClosedError)
            Q_EMIT failed(error, m_socket.errorString());
    });
}

void DaytimeSource::ask(const QString &host, quint16 port)
{
    m_asking = true;
    m_reply.clear();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
    if (host.isEmpty())
        return;
    m_socket.connectToHost(host, port ? port : m_port);
}

void DaytimeSource::abort()
{
    m_asking = false;
    m_socket.abort();
}

void DaytimeSource::read()
{
    m_reply += m_socket.readAll();
    // The reply is one line, which may come in pieces; NIST's begins with a line end of its own, so the line is whole
    // at the first line end after some text.
    qsizetype text = 0;
    while (text < m_reply.size() && QByteArrayView(" \t\r\n").contains(m_reply[text]))
        ++text;
    const bool whole = text < m_reply.size() && m_reply.indexOf('\n', text) >= 0;
    if (whole || m_reply.size() >= MaxReply)
        answer();
}

void DaytimeSource::closed()
{
    // A server that closes after a reply without a line end has still given its reply.
    if (!m_reply.isEmpty())
        answer();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
}

void DaytimeSource::answer()
{
    // One answer per question: whatever else the server sends changes nothing.
    if (!m_asking)
        return;
    m_asking = false;
    Q_EMIT answered(std::exchange(m_reply, {}));
}

std::optional<NewClockTime> DaytimeSource::timeFrom(const QByteArray &answer, int hoursOff, bool withDate,
                                                    const QDate &today) const
{
    const QString reply = QString::fromLatin1(answer);
    std::optional<NewClockTime> target = ClockTimeFromReply(reply, hoursOff, withDate, today);
    if (!target && withDate && DaytimeTimeOfDay(reply)) {
        // A reply without a date of its own still gives the time, as it always has.
        logError(ReadTag, platform::ErrorKind::TypeMismatch, QStringLiteral("EXTRA: no date in the reply"));
        target = ClockTimeFromReply(reply, hoursOff, false, today);
    }
    if (!target)
        logError(ReadTag, platform::ErrorKind::TypeMismatch, QStringLiteral("EXTRA: ") + reply.left(80).simplified());
    return target;
}
