// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

enum class MailProtocol { Pop3, Imap };

// Where an account's mail server is and how it is spoken to: "host", "host:port", "pop3s://host[:port]" or
// "pop3://host[:port]" for POP3 (port 110, POP3S 995); "imap://host[:port]" (143) or "imaps://host[:port]" (993).
struct MailAddress {
    MailProtocol protocol = MailProtocol::Pop3;
    QString host;
    quint16 port = 110;
    bool implicitTls = false; // POP3S or IMAPS: TLS from the first byte
};
using PopAddress = MailAddress;
std::optional<MailAddress> ParseMailAddress(const QString &server);
// The POP3 forms alone.
std::optional<PopAddress> ParsePopAddress(const QString &server);

// One POP3 status line: "+OK ..." or "-ERR ...".
struct PopStatusLine {
    bool ok = false;
    QString text; // what follows the status word
};
std::optional<PopStatusLine> ParsePopStatus(QByteArrayView line);

// A multi-line answer is whole once it ends with a line holding one dot. Its lines come back without the line ends
// and the final dot, each leading dot of a stuffed line taken off. Nothing while it is not whole.
std::optional<QList<QByteArray>> ParseMultiLine(QByteArrayView body);

// "+OK 3 1200": the message count.
std::optional<int> ParseStatCount(const QString &statusText);
// UIDL lines "n uid": the unique ids in message-number order; nothing when the numbers do not run 1..count.
std::optional<QStringList> ParseUidl(const QList<QByteArray> &lines, int count);

// A message's header field, unfolded, with encoded words (RFC 2047, B and Q, any charset Qt knows) decoded.
QString HeaderField(const QByteArray &header, const QByteArray &name);
QString DecodeEncodedWords(const QByteArray &text);
