// SPDX-License-Identifier: GPL-3.0-or-later
// SNTP without a window: the packets, and the clock sync asking a scripted server in this process.
#include "clock/SntpPacket.h"

#include <QTest>
#include <QTimeZone>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

qint64 microsAt(const QDateTime &moment)
{
    return moment.toMSecsSinceEpoch() * 1000;
}

} // namespace

class tst_Sntp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Timestamps are read in the era nearest our clock: the seconds wrap on 2036-02-07 06:28:16 UTC.
    void timestamps()
    {
        const QDateTime wrap({2036, 2, 7}, {6, 28, 16}, QTimeZone::utc());
        const std::tuple<QDateTime, quint64, QDateTime> rows[] = {
            {wrap, 0, wrap},
            {wrap, 0xffff'ffffull << 32, wrap.addSecs(-1)},
            {wrap.addDays(-3), 5ull << 32, wrap.addSecs(5)},
            {wrap.addDays(3), 0xffff'fff0ull << 32, wrap.addSecs(-16)},
            {QDateTime({1950, 1, 1}, {}, QTimeZone::utc()), 0, QDateTime({1900, 1, 1}, {}, QTimeZone::utc())},
            {QDateTime({2026, 12, 7}, {}, QTimeZone::utc()), (3'974'140'800ull << 32) | 0x8000'0000u,
             QDateTime({2025, 12, 8}, {0, 0, 0, 500}, QTimeZone::utc())}};
        for (const auto &[near, timestamp, expected] : rows) {
            QCOMPARE(sntp::fromTimestamp(timestamp, microsAt(near)), microsAt(expected));
            QCOMPARE(sntp::toTimestamp(microsAt(expected)), timestamp);
        }
    }

    // The question: version 4, client, our clock to the millisecond in its transmit timestamp, nothing else.
    void theQuestion()
    {
        const qint64 now = microsAt(QDateTime({2040, 3, 1}, {12, 0, 0, 250}, QTimeZone::utc())) + 999;
        const sntp::Question asked = sntp::question(QHostAddress(QHostAddress::LocalHost), 1123, now);
        QCOMPARE(asked.sentUs, now - 999);
        const QByteArray packet = sntp::requestPacket(asked);
        QCOMPARE(packet.size(), 48);
        QCOMPARE(packet[0], char(0x23));
        QCOMPARE(packet.sliced(1, 39), QByteArray(39, '\0'));
        QCOMPARE(qFromBigEndian<quint64>(packet.data() + 40), asked.transmit);
        QCOMPARE(sntp::fromTimestamp(asked.transmit, now) / 1000, asked.sentUs / 1000);
        // Below the millisecond it is chance, so that no one who has not seen it can answer it.
        QVERIFY(sntp::question(asked.server, asked.port, now).transmit != asked.transmit);
    }
};

QTEST_GUILESS_MAIN(tst_Sntp)
#include "tst_Sntp.moc"
