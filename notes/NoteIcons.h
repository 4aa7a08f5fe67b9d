// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>

// The small pictures of a note and of the container's rows, drawn here at their design sizes.
namespace NoteIcons {
QPixmap menu();    // the note menu handle: a folded corner with three lines
QPixmap alarm();   // a small bell
QPixmap makeBig(); // a magnifier: press to peek at a collapsed note
QPixmap resize();  // the sizing grip
QPixmap dot();     // a container row's menu handle
QPixmap paper();   // the container's background tile
} // namespace NoteIcons
