// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// One item of an IMAP response: an atom (a number, a flag, "BODY[HEADER.FIELDS (FROM)]"), a string (quoted or a
// literal, as bytes), NIL or a parenthesised list.
struct ImapValue {
    enum class Kind { Atom, String, Nil, List };
    Kind kind = Kind::Atom;
    QByteArray text;
    QList<ImapValue> items;

    bool operator==(const ImapValue &other) const;
    bool isNumber() const;
    quint32 number() const;
};

// One whole response of an IMAP server (RFC 9051, RFC 3501).
struct ImapResponse {
    enum class Kind { Tagged, Untagged, Continuation };
    Kind kind = Kind::Untagged;
    // The command's tag, for a tagged response.
    QByteArray tag;
    // "* 4 EXISTS", "* 4 FETCH (...)": the number before the name.
    std::optional<quint32> number;
    // Upper case: OK, NO, BAD, BYE, PREAUTH for a status; CAPABILITY, SEARCH, FLAGS, EXISTS, FETCH... for data.
    QByteArray name;
    // A status's response code in brackets: its name in upper case ("UIDVALIDITY", "ALERT") and what follows it.
    QByteArray code;
    QByteArray codeText;
    // A status's or a continuation's human text.
    QString text;
    // What follows a data response's name.
    QList<ImapValue> values;

    bool operator==(const ImapResponse &) const = default;
    bool isStatus() const;
    // The capabilities a CAPABILITY response or a [CAPABILITY ...] code lists, upper case.
    QList<QByteArray> capabilities() const;
    // The number in a code such as [UIDVALIDITY 3857529045].
    std::optional<quint32> codeNumber() const;
    // An item of a FETCH response by the start of its name ("UID", "BODY["), nullptr when it has none.
    const ImapValue *fetchItem(QByteArrayView name) const;
};

// Reads a server's bytes into responses. Bytes come as they arrive; a response is given out only once whole, a
// literal spanning any number of reads. A response past MaxResponse bytes, or one nested deeper than a server needs,
// is an error, and so is anything that is no IMAP: the reader then gives out nothing more until clear().
class ImapReader {
public:
    static constexpr qsizetype MaxResponse = 8 * 1024 * 1024;

    void append(QByteArrayView bytes);
    // The next whole response; nothing while there is none yet, or after an error.
    std::optional<ImapResponse> next();
    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }
    // Forgets every byte read, as after STARTTLS: nothing sent in clear may pass for an answer under TLS.
    void clear();

private:
    // The end of the first whole response in the buffer, -1 while it is not whole yet.
    qsizetype frameEnd();

    QByteArray m_buffer;
    // Where the scan for the present response's end goes on, past the lines and literals already seen whole.
    qsizetype m_scanned = 0;
    QString m_error;
};

// "1:3,7,9:10" for UIDs 1 2 3 7 9 10, in any order.
QByteArray ImapUidSet(QList<quint32> uids);
// A string argument as a command takes it: quoted where that can carry it, else nothing, for a literal.
std::optional<QByteArray> ImapQuoted(const QByteArray &text);
// A folder's name as the user reads it, from the modified UTF-7 that IMAP names folders in (RFC 3501 5.1.3); a name
// that is no valid modified UTF-7 is shown as it came.
QString ImapFolderName(const QByteArray &encoded);
// A folder's name as commands carry it, in modified UTF-7.
QByteArray ImapFolderEncoded(const QString &name);
