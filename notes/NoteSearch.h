// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The container's search: a note matches when its text holds every typed word, whatever the letter case and the
// accents ("e" finds "é", "ETE" finds "été").
class NoteSearch {
public:
    explicit NoteSearch(const QString &typed);
    // Nothing but blanks typed: every note shows.
    bool isEmpty() const { return m_words.isEmpty(); }
    bool matches(const QString &noteText) const;
    // Text as the search compares it: accents taken off, case folded.
    static QString fold(const QString &text);

private:
    QStringList m_words;
};
