// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/SntpSource.h"

#include "core/ErrorLog.h"
#include "platform/Clock.h"

#include <QHostInfo>
#include <QNetworkDatagram>

namespace {
qint64 nowUs()
{
    return platform::Clock::now().toMSecsSinceEpoch() * 1000;
}
} // namespace

SntpSource::SntpSource(quint16 port, QObject *parent) : TimeSource(parent), m_port(port) {}

void SntpSource::ask(const QString &host, quint16 port)
{
    abort();
    if (host.isEmpty())
        return;
    const quint16 to = port ? port : m_port;
    const QHostAddress literal(host);
    if (!literal.isNull()) {
        send(literal, to);
        return;
    }
    m_lookup = QHostInfo::lookupHost(host, this, [this, to](const QHostInfo &info) {
        if (info.lookupId() != m_lookup)
            return;
        m_lookup = -1;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            Q_EMIT failed(QAbstractSocket::HostNotFoundError, info.errorString());
            return;
        }
        send(info.addresses().constFirst(), to);
    });
}

void SntpSource::abort()
{
    if (m_lookup >= 0)
        QHostInfo::abortHostLookup(m_lookup);
    m_lookup = -1;
    m_question.reset();
    m_measured.reset();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
}

void SntpSource::send(const QHostAddress &server, quint16 port)
{
    // Not connected: a reply from elsewhere must reach us to be refused as such, not vanish in the kernel.
    m_socket = new QUdpSocket(this);
    connect(m_socket, &QUdpSocket::readyRead, this, &SntpSource::read);
    connect(m_socket, &QUdpSocket::errorOccurred, this,
            [this, socket = m_socket.data()](QAbstractSocket::SocketError error) {
                if (m_question)
                    Q_EMIT failed(error, socket->errorString());
            });
    const bool v6 = server.protocol() == QAbstractSocket::IPv6Protocol;
    if (!m_socket->bind(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4, 0)) {
        Q_EMIT failed(m_socket->error(), m_socket->errorString());
        return;
    }
    m_question = sntp::question(server, port, nowUs());
    if (m_socket->writeDatagram(sntp::requestPacket(*m_question), server, port) != sntp::PacketSize) {
        m_question.reset();
        Q_EMIT failed(m_socket->error(), m_socket->errorString());
    }
}

void SntpSource::read()
{
    // The time of reception first: what follows is no part of the round trip.
    const qint64 received = nowUs();
    while (m_socket && m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(2048);
        // One answer per question: whatever comes after it changes nothing.
        if (!m_question)
            continue;
        // Anyone can send us a datagram: one that is not from the server asked is no answer, and the server's own
        // may still come. A spoofer cannot end the attempt this way.
        if (!datagram.senderAddress().isEqual(m_question->server, QHostAddress::TolerantConversion) ||
            quint16(datagram.senderPort()) != m_question->port) {
            logError(QStringLiteral("Reply refused: not from the server asked (%1 port %2)")
                         .arg(datagram.senderAddress().toString())
                         .arg(datagram.senderPort()));
            continue;
        }
        const sntp::Question asked = *std::exchange(m_question, std::nullopt);
        const auto reply =
            sntp::readReply(datagram.data(), asked, received, datagram.senderAddress(), quint16(datagram.senderPort()));
        if (const auto *refusal = std::get_if<sntp::Refusal>(&reply)) {
            Q_EMIT refused(refusal->text, refusal->stopAsking);
            continue;
        }
        m_measured = std::get<sntp::Measurement>(reply);
        logError(QStringLiteral("SNTP offset %1 ms, delay %2 ms")
                     .arg(double(m_measured->offsetUs) / 1000, 0, 'f', 3)
                     .arg(double(m_measured->delayUs) / 1000, 0, 'f', 3));
        Q_EMIT measured(m_measured->offsetUs, m_measured->delayUs);
        Q_EMIT answered(datagram.data());
    }
}

std::optional<NewClockTime> SntpSource::timeFrom(const QByteArray &, int, bool withDate, const QDate &today) const
{
    if (!m_measured)
        return std::nullopt;
    // The offset stands for as long as our clock runs on: the moment is our clock now, corrected, to the millisecond.
    const QDateTime corrected = platform::Clock::now().addMSecs(qRound64(double(m_measured->offsetUs) / 1000));
    NewClockTime result;
    result.dateFromReply = withDate;
    result.timeText = corrected.time().toString(QStringLiteral("HH:mm:ss"));
    result.moment = withDate ? corrected : QDateTime(today, corrected.time());
    return result;
}

std::optional<TimeSource::Details> SntpSource::details() const
{
    if (!m_measured)
        return std::nullopt;
    return Details{m_measured->offsetUs, m_measured->delayUs, m_measured->stratum};
}
