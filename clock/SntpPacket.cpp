// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/SntpPacket.h"

#include <QRandomGenerator>
#include <QtEndian>

namespace sntp {

namespace {

// 1900-01-01 to 1970-01-01.
constexpr qint64 UnixEpochInNtp = 2'208'988'800;
constexpr qint64 EraSeconds = qint64(1) << 32;
constexpr qint64 Million = 1'000'000;

quint64 timestampAt(QByteArrayView data, qsizetype at)
{
    return qFromBigEndian<quint64>(data.data() + at);
}

Refusal refusal(Refusal::Reason reason, const QString &text)
{
    return {reason, text, {}, false};
}

} // namespace

quint64 toTimestamp(qint64 unixUs)
{
    // Before 1970 the second is the one below.
    const qint64 seconds = unixUs / Million - (unixUs % Million < 0 ? 1 : 0);
    const qint64 micros = unixUs - seconds * Million;
    const quint64 ntpSeconds = quint64(seconds + UnixEpochInNtp) & 0xffff'ffffu;
    const quint64 fraction = (quint64(micros) << 32) / Million;
    return (ntpSeconds << 32) | fraction;
}

qint64 fromTimestamp(quint64 timestamp, qint64 nearUs)
{
    // Rounded up, so that a fraction read back gives the microsecond it was made from.
    const qint64 micros = qint64(((timestamp & 0xffff'ffffu) * Million + 0xffff'ffffu) >> 32);
    const qint64 eraZeroUs = (qint64(timestamp >> 32) - UnixEpochInNtp) * Million + micros;
    // The whole number of eras nearest the distance, fraction and all: counted in integers, as a double would blur
    // the microseconds at the half era.
    constexpr qint64 EraUs = EraSeconds * Million;
    const qint64 distance = nearUs - eraZeroUs + EraUs / 2;
    const qint64 eras = distance / EraUs - (distance % EraUs < 0 ? 1 : 0);
    return eraZeroUs + eras * EraUs;
}

Question question(const QHostAddress &server, quint16 port, qint64 nowUs)
{
    // Below the millisecond the clock says nothing, so those bits of the fraction are free for chance.
    const qint64 millis = nowUs - nowUs % 1000;
    const quint64 noise = QRandomGenerator::system()->bounded(quint32((quint64(1) << 32) / 1000));
    return {server, port, millis, toTimestamp(millis) + noise};
}

QByteArray requestPacket(const Question &question)
{
    QByteArray packet(PacketSize, '\0');
    packet[0] = char((0 << 6) | (4 << 3) | 3);
    qToBigEndian<quint64>(question.transmit, packet.data() + 40);
    return packet;
}

std::optional<Packet> readPacket(QByteArrayView data)
{
    if (data.size() < PacketSize)
        return std::nullopt;
    const auto first = quint8(data[0]);
    Packet packet;
    packet.leap = first >> 6;
    packet.version = (first >> 3) & 7;
    packet.mode = first & 7;
    packet.stratum = quint8(data[1]);
    packet.referenceId = data.sliced(12, 4).toByteArray();
    packet.reference = timestampAt(data, 16);
    packet.origin = timestampAt(data, 24);
    packet.receive = timestampAt(data, 32);
    packet.transmit = timestampAt(data, 40);
    return packet;
}

std::variant<Measurement, Refusal> readReply(QByteArrayView data, const Question &asked, qint64 receivedUs,
                                             const QHostAddress &from, quint16 fromPort)
{
    if (!from.isEqual(asked.server, QHostAddress::TolerantConversion) || fromPort != asked.port)
        return refusal(Refusal::WrongSender, QStringLiteral("A reply came from %1 port %2, not from the server asked")
                                                 .arg(from.toString())
                                                 .arg(fromPort));
    const std::optional<Packet> packet = readPacket(data);
    if (!packet)
        return refusal(Refusal::Short, QStringLiteral("The reply is too short (%1 bytes)").arg(data.size()));
    if (packet->mode != 4)
        return refusal(Refusal::NotServer, QStringLiteral("The reply is no server's (mode %1)").arg(packet->mode));
    // A reply that does not give back our question's timestamp answers another question, or none.
    if (packet->origin != asked.transmit)
        return refusal(Refusal::WrongOrigin, QStringLiteral("The reply does not answer our question"));
    if (packet->stratum == 0) {
        const QByteArray code = packet->referenceId;
        Refusal kiss =
            refusal(Refusal::KissOfDeath, QStringLiteral("The server refuses to tell the time (kiss code %1)")
                                              .arg(QString::fromLatin1(code.toPercentEncoding(" "))));
        kiss.kissCode = code;
        kiss.stopAsking = code == "RATE" || code == "DENY" || code == "RSTR";
        return kiss;
    }
    // Stratum 16 is a server that has lost its own sources.
    if (packet->leap == 3 || packet->stratum > 15)
        return refusal(Refusal::Unsynchronised, QStringLiteral("The server's clock is not synchronised"));
    if (packet->transmit == 0)
        return refusal(Refusal::NoTime, QStringLiteral("The reply gives no time"));
    const qint64 t1 = asked.sentUs;
    const qint64 t2 = fromTimestamp(packet->receive, t1);
    const qint64 t3 = fromTimestamp(packet->transmit, t1);
    const qint64 t4 = receivedUs;
    const Measurement measured{((t2 - t1) + (t3 - t4)) / 2, (t4 - t1) - (t3 - t2), packet->stratum};
    if (measured.delayUs > MaxDelayUs)
        return refusal(Refusal::TooSlow,
                       QStringLiteral("The reply took too long on its way (%1 ms)").arg(measured.delayUs / 1000));
    return measured;
}

} // namespace sntp
