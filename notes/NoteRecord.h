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
