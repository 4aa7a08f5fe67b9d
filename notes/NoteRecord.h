// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// One sticky note. Geometry is in twips (15 to a pixel); the window bound to the record shows it.
struct NoteRecord {
    QString text;
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
    // The size to return to when a collapsed note is expanded.
    int oldWidth = 0;
    int oldHeight = 0;
    bool visible = true;
    QString alarmDate = QStringLiteral("NO_DATE_SET");
    QString alarmTime = QStringLiteral("13:25");
    QString alarmRepeat = QStringLiteral("-1");
    QString created;
    int fontSize = 8;
    QString title;

    bool operator==(const NoteRecord &) const = default;
};

// A collapsed note is exactly this size; the model decides it, never the window's pixel size.
inline constexpr int CollapsedWidth = 650;
inline constexpr int CollapsedHeight = 370;

inline bool isCollapsed(const NoteRecord &note)
{
    return note.width == CollapsedWidth && note.height == CollapsedHeight;
}

// Neither side at the tab's size: the note shows its text.
inline bool isExpanded(const NoteRecord &note)
{
    return note.width != CollapsedWidth && note.height != CollapsedHeight;
}

// Places the note; only the collapse itself makes the tab size, anything smaller is raised as a user's resize would be.
inline void placeNote(NoteRecord &note, int left, int top, int width, int height)
{
    note.left = left;
    note.top = top;
    note.width = width;
    note.height = height;
    if (!(width == CollapsedWidth && height == CollapsedHeight)) {
        if (note.width < CollapsedWidth)
            note.width = CollapsedWidth + 1;
        if (note.height < CollapsedHeight)
            note.height = CollapsedHeight + 1;
    }
}

// Down to the tab, remembering the size to return to.
inline void collapseNote(NoteRecord &note)
{
    note.oldWidth = note.width;
    note.oldHeight = note.height;
    note.width = CollapsedWidth;
    note.height = CollapsedHeight;
}

inline void expandNote(NoteRecord &note)
{
    note.width = note.oldWidth;
    note.height = note.oldHeight;
}
