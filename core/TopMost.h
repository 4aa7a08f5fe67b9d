// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// The note windows as the shared always-on-top pass sees them; the notes program registers its table here.
class TopMostTable {
public:
    virtual ~TopMostTable() = default;
    virtual int count() const = 0;
    // The window of note 1..count; nullptr for a hidden note, which has none.
    virtual QWidget *window(int index) = 0;
    virtual bool onTopChecked(int index) const = 0;
};

// nullptr: no notes (the pass then does nothing).
void SetTopMostTable(TopMostTable *table);

// Puts every note whose On top item is checked above all normal windows; the others are left as they are.
void CheckAndSetTopMost();
