// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <variant>

// SNTP (RFC 4330, on RFC 5905's packet): the client's question and the reading of a server's reply. Times are
// microseconds since the Unix epoch; on the wire they are NTP timestamps, seconds since 1900 in the high 32 bits
// and the fraction of a second in the low 32.
namespace sntp {

constexpr qsizetype PacketSize = 48;
constexpr quint16 Port = 123;

// The 32-bit seconds wrap every 2^32 s (on 2036-02-07 first): a timestamp is read in the era nearest `nearUs`.
quint64 toTimestamp(qint64 unixUs);
qint64 fromTimestamp(quint64 timestamp, qint64 nearUs);

// One question: where it went, when, and the transmit timestamp it carried, which the reply must give back as its
// origin. The timestamp's fraction below the millisecond is random, so that a reply cannot be made up without
// having seen the question.
struct Question {
    QHostAddress server;
    quint16 port = Port;
    qint64 sentUs = 0;
    quint64 transmit = 0;
};
Question question(const QHostAddress &server, quint16 port, qint64 nowUs);
// The 48 bytes sent: version 4, mode 3 (client), the question's transmit timestamp, the rest zero.
QByteArray requestPacket(const Question &question);

// The fields of a reply that the client reads.
struct Packet {
    int leap = 0;
    int version = 0;
    int mode = 0;
    int stratum = 0;
    QByteArray referenceId; // four bytes; a kiss code in ASCII when the stratum is 0
    quint64 reference = 0;
    quint64 origin = 0;
    quint64 receive = 0;
    quint64 transmit = 0;
};
// Nothing when the data is shorter than a packet; extension fields after the 48 bytes are left unread.
std::optional<Packet> readPacket(QByteArrayView data);

// What a usable reply measured: how far our clock is behind the server's, and the round trip's time on the way.
struct Measurement {
    qint64 offsetUs = 0;
    qint64 delayUs = 0;
    int stratum = 0;
};

// Why a reply is not used, in words for the log and the window.
struct Refusal {
    enum Reason { Short, WrongSender, NotServer, WrongOrigin, KissOfDeath, Unsynchronised, NoTime, TooSlow };
    Reason reason = Short;
    QString text;
    QByteArray kissCode; // the kiss-o'-death's code
    // The server asked not to be asked again (RATE, DENY, RSTR).
    bool stopAsking = false;
};

// The longest round trip a reply may have taken: beyond it, half its time may be the error.
constexpr qint64 MaxDelayUs = 1'000'000;

// Reads `data`, come from `from`:`fromPort` at `receivedUs`, as the answer to `asked`.
std::variant<Measurement, Refusal> readReply(QByteArrayView data, const Question &asked, qint64 receivedUs,
                                             const QHostAddress &from, quint16 fromPort);

} // namespace sntp
