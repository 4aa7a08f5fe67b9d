// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary datagrams to the SNTP reply reader, as a broken or hostile server (or anyone who can send us a
// packet) would. A reply it uses must be a server's answer to our question, from a synchronised server, with a time,
// on a round trip no longer than a second; the offset and delay must follow from its timestamps read in the era
// nearest our clock; and our own clock must read back through a timestamp unchanged.

#include "clock/SntpPacket.h"

#include <QtEndian>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // 8 bytes pick our clock (1900 to 2300) and the round trip's time, 1 byte the sender and whether the question
    // is the one the packet answers; the rest is the datagram.
    if (size < 9)
        return 0;
    const quint64 pick = qFromBigEndian<quint64>(data);
    constexpr qint64 From1900 = -2'208'988'800'000'000;
    const qint64 nowUs = From1900 + qint64(pick % 12'600'000'000'000'000ull);
    const qint64 tripUs = qint64(pick >> 48) * 100;
    const QByteArrayView datagram(data + 9, qsizetype(size - 9));

    if (sntp::fromTimestamp(sntp::toTimestamp(nowUs), nowUs) != nowUs)
        fail("our clock does not read back through a timestamp");
    const QHostAddress server(QHostAddress::LocalHost);
    sntp::Question asked = sntp::question(server, sntp::Port, nowUs);
    const std::optional<sntp::Packet> packet = sntp::readPacket(datagram);
    if (packet.has_value() != (datagram.size() >= sntp::PacketSize))
        fail("a packet read from too few bytes, or none from enough");
    if (packet && (data[8] & 1))
        asked.transmit = packet->origin;
    const quint16 fromPort = (data[8] & 2) ? 124 : sntp::Port;
    const auto reply = sntp::readReply(datagram, asked, asked.sentUs + tripUs, server, fromPort);

    if (const auto *refused = std::get_if<sntp::Refusal>(&reply)) {
        if (refused->text.isEmpty())
            fail("a refusal without a reason");
        if (refused->stopAsking && refused->reason != sntp::Refusal::KissOfDeath)
            fail("asked to stop asking without a kiss-o'-death");
        return 0;
    }
    const auto &measured = std::get<sntp::Measurement>(reply);
    if (fromPort != sntp::Port)
        fail("a reply from another port used");
    if (packet->mode != 4 || packet->origin != asked.transmit || packet->stratum == 0 || packet->stratum > 15 ||
        packet->leap == 3 || packet->transmit == 0)
        fail("a reply used that is no synchronised server's answer to our question");
    if (measured.delayUs > sntp::MaxDelayUs)
        fail("a reply used that took longer than a second");
    const qint64 t2 = sntp::fromTimestamp(packet->receive, asked.sentUs);
    const qint64 t3 = sntp::fromTimestamp(packet->transmit, asked.sentUs);
    constexpr qint64 HalfEraUs = (qint64(1) << 31) * 1'000'000;
    if (std::abs(t2 - asked.sentUs) > HalfEraUs || std::abs(t3 - asked.sentUs) > HalfEraUs)
        fail("a timestamp read in an era other than the nearest");
    if (measured.offsetUs != ((t2 - asked.sentUs) + (t3 - (asked.sentUs + tripUs))) / 2 ||
        measured.delayUs != tripUs - (t3 - t2))
        fail("offset or delay do not follow from the timestamps");
    return 0;
}
