// SPDX-License-Identifier: GPL-3.0-or-later
#include "notes/NoteSearch.h"

NoteSearch::NoteSearch(const QString &typed) : m_words(fold(typed).split(u' ', Qt::SkipEmptyParts)) {}

QString NoteSearch::fold(const QString &text)
{
    // Plain ASCII needs no decomposition, and most notes are; the rest is decomposed and loses its combining marks.
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    QString folded = ascii ? text : text.normalized(QString::NormalizationForm_KD);
    if (!ascii)
        folded.removeIf([](QChar c) { return c.category() == QChar::Mark_NonSpacing; });
    folded = folded.toCaseFolded();
    // Line breaks and tabs are blanks to a reader: a word at a line's end still meets the next.
    for (QChar &c : folded)
        if (c.isSpace())
            c = u' ';
    return folded;
}

bool NoteSearch::matches(const QString &noteText) const
{
    if (m_words.isEmpty())
        return true;
    const QString folded = fold(noteText);
    for (const QString &word : m_words)
        if (!folded.contains(word))
            return false;
    return true;
}
