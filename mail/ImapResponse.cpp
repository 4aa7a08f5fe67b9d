// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/ImapResponse.h"

#include <algorithm>

namespace {

// Deeper than any FETCH a server sends (a BODYSTRUCTURE nests a few levels per MIME part), shallow enough for the
// stack.
constexpr int MaxDepth = 64;
// Items in one response: a SEARCH of a mailbox of a million messages, and no list of empty lists that makes a few
// megabytes into gigabytes.
constexpr qsizetype MaxValues = 1 << 20;
constexpr QByteArrayView StatusNames[] = {"OK", "NO", "BAD", "BYE", "PREAUTH"};

bool isAtomChar(char c)
{
    return c > ' ' && c != '(' && c != ')' && c != '{' && c != '"' && c != '\x7f';
}

// A literal's announcement at the end of a line, "{12}", "{12+}" or "~{12}": its length, or nothing.
std::optional<qsizetype> literalLength(QByteArrayView line)
{
    if (!line.endsWith('}'))
        return std::nullopt;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return std::nullopt;
    QByteArrayView digits = line.sliced(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return digits.toLongLong();
}

// Reads one whole response, its line ends and literals already known to be complete.
class Parser {
public:
    explicit Parser(QByteArrayView in) : m_in(in)
    {
        // The final line end is no part of what is read.
        m_end = in.size() - (in.endsWith("\r\n") ? 2 : 1);
    }

    std::optional<ImapResponse> response()
    {
        ImapResponse response;
        if (peek() == '+') {
            response.kind = ImapResponse::Kind::Continuation;
            ++m_at;
            skipSpace();
            response.text = rest();
            return response;
        }
        if (peek() == '*') {
            ++m_at;
        } else {
            response.kind = ImapResponse::Kind::Tagged;
            response.tag = atom();
            if (response.tag.isEmpty())
                return std::nullopt;
        }
        if (!space())
            return std::nullopt;
        QByteArray name = atom();
        if (response.kind == ImapResponse::Kind::Untagged && !name.isEmpty() &&
            std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            ImapValue number{ImapValue::Kind::Atom, name, {}};
            if (!number.isNumber() || !space())
                return std::nullopt;
            response.number = number.number();
            name = atom();
        }
        if (name.isEmpty())
            return std::nullopt;
        response.name = name.toUpper();
        if (response.isStatus()) {
            statusText(response);
            return response;
        }
        if (response.kind == ImapResponse::Kind::Tagged)
            return std::nullopt;
        while (true) {
            skipSpace();
            if (m_at >= m_end)
                break;
            std::optional<ImapValue> item = value();
            if (!item)
                return std::nullopt;
            response.values.append(std::move(*item));
        }
        return response;
    }

private:
    char peek() const { return m_at < m_end ? m_in[m_at] : '\0'; }
    bool space()
    {
        if (peek() != ' ')
            return false;
        skipSpace();
        return true;
    }
    void skipSpace()
    {
        while (peek() == ' ')
            ++m_at;
    }
    QString rest()
    {
        const QByteArrayView text = m_in.sliced(m_at, std::max<qsizetype>(m_end - m_at, 0));
        m_at = m_end;
        return QString::fromUtf8(text).trimmed();
    }

    // Where the next `c` is at or after the present place, -1 for none. The place only moves on, so a position
    // found is good until it is passed: a response of many brackets costs one scan, not one per bracket.
    qsizetype nextOf(char c, qsizetype &found) const
    {
        if (found == -2 || (found >= 0 && found < m_at))
            found = m_in.first(m_end).indexOf(c, m_at);
        return found;
    }

    // An atom; a section in brackets is part of it, blanks and parentheses included: BODY[HEADER.FIELDS (FROM)].
    QByteArray atom()
    {
        const qsizetype start = m_at;
        while (m_at < m_end) {
            const char c = m_in[m_at];
            if (c == '[') {
                const qsizetype close = nextOf(']', m_nextClose);
                const qsizetype lineEnd = nextOf('\n', m_nextLineEnd);
                if (close < 0 || (lineEnd >= 0 && lineEnd < close))
                    break;
                m_at = close + 1;
            } else if (isAtomChar(c)) {
                ++m_at;
            } else {
                break;
            }
        }
        return m_in.sliced(start, m_at - start).toByteArray();
    }

    void statusText(ImapResponse &response)
    {
        skipSpace();
        if (peek() == '[') {
            const qsizetype close = m_in.first(m_end).indexOf(']', m_at);
            if (close >= 0) {
                const QByteArrayView code = m_in.sliced(m_at + 1, close - m_at - 1);
                const qsizetype blank = code.indexOf(' ');
                response.code = code.first(blank < 0 ? code.size() : blank).toByteArray().toUpper();
                response.codeText = blank < 0 ? QByteArray() : code.sliced(blank + 1).trimmed().toByteArray();
                m_at = close + 1;
            }
        }
        response.text = rest();
    }

    std::optional<ImapValue> value()
    {
        if (++m_values > MaxValues)
            return std::nullopt;
        const char c = peek();
        if (c == '(') {
            if (++m_depth > MaxDepth)
                return std::nullopt;
            ++m_at;
            ImapValue list{ImapValue::Kind::List, {}, {}};
            while (true) {
                skipSpace();
                if (peek() == ')') {
                    ++m_at;
                    break;
                }
                if (m_at >= m_end)
                    return std::nullopt;
                std::optional<ImapValue> item = value();
                if (!item)
                    return std::nullopt;
                list.items.append(std::move(*item));
            }
            --m_depth;
            return list;
        }
        if (c == '"')
            return quoted();
        if (c == '{' || (c == '~' && m_at + 1 < m_end && m_in[m_at + 1] == '{'))
            return literal();
        QByteArray text = atom();
        if (text.isEmpty())
            return std::nullopt;
        if (text.compare("NIL", Qt::CaseInsensitive) == 0)
            return ImapValue{ImapValue::Kind::Nil, {}, {}};
        return ImapValue{ImapValue::Kind::Atom, std::move(text), {}};
    }

    std::optional<ImapValue> quoted()
    {
        ImapValue string{ImapValue::Kind::String, {}, {}};
        for (++m_at; m_at < m_end; ++m_at) {
            char c = m_in[m_at];
            if (c == '"') {
                ++m_at;
                return string;
            }
            if (c == '\r' || c == '\n')
                return std::nullopt;
            if (c == '\\' && m_at + 1 < m_end)
                c = m_in[++m_at];
            string.text += c;
        }
        return std::nullopt;
    }

    std::optional<ImapValue> literal()
    {
        const qsizetype lineEnd = m_in.indexOf('\n', m_at);
        if (lineEnd < 0)
            return std::nullopt;
        QByteArrayView announcement = m_in.sliced(m_at, lineEnd - m_at);
        if (announcement.endsWith('\r'))
            announcement.chop(1);
        const std::optional<qsizetype> length = literalLength(announcement);
        // The announcement is the line's last word, and its bytes are all here.
        if (!length || announcement.indexOf('}') != announcement.size() - 1 || lineEnd + 1 + *length > m_end)
            return std::nullopt;
        m_at = lineEnd + 1 + *length;
        return ImapValue{ImapValue::Kind::String, m_in.sliced(lineEnd + 1, *length).toByteArray(), {}};
    }

    QByteArrayView m_in;
    qsizetype m_at = 0;
    qsizetype m_end = 0;
    int m_depth = 0;
    qsizetype m_values = 0;
    // nextOf()'s positions; -2 while not looked for.
    qsizetype m_nextClose = -2;
    qsizetype m_nextLineEnd = -2;
};

} // namespace

bool ImapValue::operator==(const ImapValue &other) const
{
    return kind == other.kind && text == other.text &&
           std::equal(items.begin(), items.end(), other.items.begin(), other.items.end());
}

bool ImapValue::isNumber() const
{
    if (kind != Kind::Atom || text.isEmpty() || text.size() > 10)
        return false;
    if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    return text.toULongLong() <= 0xffffffffULL;
}

quint32 ImapValue::number() const
{
    return isNumber() ? quint32(text.toULongLong()) : 0;
}

bool ImapResponse::isStatus() const
{
    return kind != Kind::Continuation && !number &&
           std::find(std::begin(StatusNames), std::end(StatusNames), name) != std::end(StatusNames);
}

QList<QByteArray> ImapResponse::capabilities() const
{
    QList<QByteArray> list;
    if (code == "CAPABILITY") {
        for (const QByteArray &word : codeText.simplified().split(' '))
            if (!word.isEmpty())
                list.append(word.toUpper());
    } else if (name == "CAPABILITY" && !isStatus()) {
        for (const ImapValue &value : values)
            if (value.kind == ImapValue::Kind::Atom)
                list.append(value.text.toUpper());
    }
    return list;
}

std::optional<quint32> ImapResponse::codeNumber() const
{
    const ImapValue number{ImapValue::Kind::Atom, codeText.trimmed(), {}};
    if (!number.isNumber())
        return std::nullopt;
    return number.number();
}

const ImapValue *ImapResponse::fetchItem(QByteArrayView item) const
{
    if (name != "FETCH" || values.isEmpty() || values[0].kind != ImapValue::Kind::List)
        return nullptr;
    const QList<ImapValue> &items = values[0].items;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        if (items[i].kind == ImapValue::Kind::Atom && items[i].text.toUpper().startsWith(item))
            return &items[i + 1];
    }
    return nullptr;
}

void ImapReader::append(QByteArrayView bytes)
{
    if (failed())
        return;
    m_buffer.append(bytes);
}

void ImapReader::clear()
{
    m_buffer.clear();
    m_scanned = 0;
    m_error.clear();
}

qsizetype ImapReader::frameEnd()
{
    qsizetype at = m_scanned;
    while (true) {
        const qsizetype lineEnd = m_buffer.indexOf('\n', at);
        if (lineEnd < 0) {
            m_scanned = at;
            if (m_buffer.size() > MaxResponse)
                m_error = QStringLiteral("The server's answer is too big");
            return -1;
        }
        QByteArrayView line = QByteArrayView(m_buffer).sliced(at, lineEnd - at);
        if (line.endsWith('\r'))
            line.chop(1);
        const std::optional<qsizetype> length = literalLength(line);
        if (!length)
            return lineEnd + 1;
        // The length is the server's word: checked before anything waits for, let alone holds, that many bytes.
        if (*length > MaxResponse || lineEnd + 1 + *length > MaxResponse) {
            m_error = QStringLiteral("The server's answer is too big");
            return -1;
        }
        at = lineEnd + 1 + *length;
        if (at > m_buffer.size()) {
            m_scanned = at;
            return -1;
        }
    }
}

std::optional<ImapResponse> ImapReader::next()
{
    if (failed())
        return std::nullopt;
    const qsizetype end = frameEnd();
    if (end < 0)
        return std::nullopt;
    std::optional<ImapResponse> response = Parser(QByteArrayView(m_buffer).first(end)).response();
    m_buffer.remove(0, end);
    m_scanned = 0;
    if (!response)
        m_error = QStringLiteral("The server does not speak IMAP");
    return response;
}

QByteArray ImapUidSet(QList<quint32> uids)
{
    std::sort(uids.begin(), uids.end());
    uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
    QByteArray set;
    for (qsizetype i = 0; i < uids.size();) {
        qsizetype last = i;
        while (last + 1 < uids.size() && uids[last + 1] == uids[last] + 1)
            ++last;
        if (!set.isEmpty())
            set += ',';
        set += QByteArray::number(uids[i]);
        if (last > i)
            set += ':' + QByteArray::number(uids[last]);
        i = last + 1;
    }
    return set;
}

std::optional<QByteArray> ImapQuoted(const QByteArray &text)
{
    if (text.size() > 1000 ||
        std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0' || (c & 0x80); }))
        return std::nullopt;
    QByteArray quoted = text;
    quoted.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + quoted + '"';
}

namespace {

// Base64 with "," for "/", as modified UTF-7 writes it.
QByteArray folderBase64(QByteArrayView bytes)
{
    return bytes.toByteArray().toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals).replace('/', ',');
}

} // namespace

QString ImapFolderName(const QByteArray &encoded)
{
    QString name;
    for (qsizetype at = 0; at < encoded.size(); ++at) {
        const char c = encoded[at];
        if (c < 0x20 || c > 0x7e)
            return QString::fromUtf8(encoded);
        if (c != '&') {
            name += QLatin1Char(c);
            continue;
        }
        const qsizetype end = encoded.indexOf('-', at + 1);
        if (end < 0)
            return QString::fromUtf8(encoded);
        const QByteArray run = encoded.mid(at + 1, end - at - 1);
        at = end;
        if (run.isEmpty()) {
            name += u'&';
            continue;
        }
        QByteArray base64 = run;
        base64.replace(',', '/');
        const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
        // UTF-16 in whole units, and written the one way the encoder writes it: anything else is some other name.
        if (!decoded || decoded.decoded.size() % 2 != 0 || folderBase64(decoded.decoded) != run)
            return QString::fromUtf8(encoded);
        for (qsizetype i = 0; i < decoded.decoded.size(); i += 2)
            name += QChar(char16_t((uchar(decoded.decoded[i]) << 8) | uchar(decoded.decoded[i + 1])));
    }
    return name;
}

QByteArray ImapFolderEncoded(const QString &name)
{
    QByteArray encoded;
    QByteArray run;
    const auto endRun = [&] {
        if (run.isEmpty())
            return;
        encoded += '&' + folderBase64(run) + '-';
        run.clear();
    };
    for (const QChar c : name) {
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7e) {
            endRun();
            encoded += c == u'&' ? QByteArray("&-") : QByteArray(1, char(c.unicode()));
        } else {
            run += char(c.unicode() >> 8);
            run += char(c.unicode() & 0xff);
        }
    }
    endRun();
    return encoded;
}
