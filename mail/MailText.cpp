// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailText.h"

#include "platform/TextFiles.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

std::optional<MailAddress> ParseMailAddress(const QString &server)
{
    QString text = server.trimmed();
    MailAddress address;
    struct Scheme {
        QLatin1String prefix;
        MailProtocol protocol;
        quint16 port;
        bool implicitTls;
    };
    static const Scheme schemes[] = {{QLatin1String("pop3s://"), MailProtocol::Pop3, 995, true},
                                     {QLatin1String("pop3://"), MailProtocol::Pop3, 110, false},
                                     {QLatin1String("imaps://"), MailProtocol::Imap, 993, true},
                                     {QLatin1String("imap://"), MailProtocol::Imap, 143, false}};
    for (const Scheme &scheme : schemes) {
        if (text.startsWith(scheme.prefix, Qt::CaseInsensitive)) {
            address = {scheme.protocol, {}, scheme.port, scheme.implicitTls};
            text = text.mid(scheme.prefix.size());
            break;
        }
    }
    if (text.endsWith(u'/'))
        text.chop(1);
    QString portText;
    if (text.startsWith(u'[')) {
        // An IPv6 address in brackets, a port after them.
        const qsizetype close = text.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return std::nullopt;
        portText = rest.mid(1);
        text = text.mid(1, close - 1);
    } else if (text.count(u':') == 1) {
        portText = text.section(u':', 1);
        text = text.section(u':', 0, 0);
    }
    if (!portText.isEmpty()) {
        bool ok = false;
        const int port = portText.toInt(&ok);
        if (!ok || port <= 0 || port > 65535)
            return std::nullopt;
        address.port = quint16(port);
    }
    if (text.isEmpty() || text.contains(u' ') || text.contains(u'/'))
        return std::nullopt;
    address.host = text;
    return address;
}

std::optional<PopAddress> ParsePopAddress(const QString &server)
{
    std::optional<MailAddress> address = ParseMailAddress(server);
    if (address && address->protocol != MailProtocol::Pop3)
        return std::nullopt;
    return address;
}

std::optional<PopStatusLine> ParsePopStatus(QByteArrayView line)
{
    if (line.endsWith("\r\n"))
        line.chop(2);
    else if (line.endsWith('\n'))
        line.chop(1);
    PopStatusLine status;
    if (line.startsWith("+OK"))
        status.ok = true;
    else if (!line.startsWith("-ERR"))
        return std::nullopt;
    status.text = platform::decodeText(line.sliced(status.ok ? 3 : 4)).trimmed();
    return status;
}

std::optional<QList<QByteArray>> ParseMultiLine(QByteArrayView body)
{
    if (!(body == ".\r\n" || body.endsWith("\r\n.\r\n") || body == ".\n" || body.endsWith("\n.\n")))
        return std::nullopt;
    QList<QByteArray> lines;
    qsizetype at = 0;
    while (at < body.size()) {
        qsizetype end = body.indexOf('\n', at);
        if (end < 0)
            end = body.size();
        QByteArrayView line = body.sliced(at, end - at);
        if (line.endsWith('\r'))
            line.chop(1);
        at = end + 1;
        if (line == ".")
            break;
        if (line.startsWith(".."))
            line = line.sliced(1);
        lines.append(line.toByteArray());
    }
    return lines;
}

std::optional<int> ParseStatCount(const QString &statusText)
{
    bool ok = false;
    const int count = statusText.section(u' ', 0, 0, QString::SectionSkipEmpty).toInt(&ok);
    if (!ok || count < 0)
        return std::nullopt;
    return count;
}

std::optional<QStringList> ParseUidl(const QList<QByteArray> &lines, int count)
{
    if (lines.size() != count)
        return std::nullopt;
    QStringList ids;
    for (int i = 0; i < count; ++i) {
        const QList<QByteArray> parts = lines[i].simplified().split(' ');
        if (parts.size() < 2 || parts[0].toInt() != i + 1)
            return std::nullopt;
        ids.append(QString::fromLatin1(parts[1]));
    }
    return ids;
}

QString HeaderField(const QByteArray &header, const QByteArray &name)
{
    const QList<QByteArray> lines = header.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break; // the end of the header
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QByteArray value = line.mid(colon + 1);
        // Folded lines continue with a blank or a tab.
        while (i + 1 < lines.size() && (lines[i + 1].startsWith(' ') || lines[i + 1].startsWith('\t'))) {
            QByteArray next = lines[++i];
            if (next.endsWith('\r'))
                next.chop(1);
            value += next;
        }
        return DecodeEncodedWords(value.trimmed());
    }
    return {};
}

namespace {

QByteArray decodeQ(const QByteArray &text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size()) {
            bool ok = false;
            const int byte = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(byte);
                i += 2;
            } else {
                out += c;
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<QString> decodeWord(const QByteArray &charset, char encoding, const QByteArray &text)
{
    QByteArray bytes;
    if (encoding == 'B' || encoding == 'b') {
        const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        bytes = *decoded;
    } else {
        bytes = decodeQ(text);
    }
    // A language tag ("utf-8*en") is no part of the charset's name.
    const QByteArray name = charset.split('*').value(0).trimmed();
    if (name.compare("windows-1252", Qt::CaseInsensitive) == 0 || name.compare("cp1252", Qt::CaseInsensitive) == 0)
        return platform::fromWindows1252(bytes);
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        return std::nullopt;
    return QString(decoder.decode(bytes));
}

} // namespace

QString DecodeEncodedWords(const QByteArray &text)
{
    static const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]+)\?([BbQq])\?([^?\s]*)\?=)"));
    const QString raw = platform::decodeText(text);
    QString out;
    qsizetype at = 0;
    qsizetype lastWordEnd = -1;
    QRegularExpressionMatchIterator it = word.globalMatch(raw);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const std::optional<QString> decoded =
            decodeWord(match.captured(1).toLatin1(), match.captured(2).at(0).toLatin1(), match.captured(3).toLatin1());
        if (!decoded)
            continue;
        QString between = raw.mid(at, match.capturedStart() - at);
        // Blanks between two encoded words are no part of the text.
        if (lastWordEnd == at && between.trimmed().isEmpty())
            between.clear();
        out += between + *decoded;
        at = match.capturedEnd();
        lastWordEnd = at;
    }
    out += raw.mid(at);
    return out;
}
