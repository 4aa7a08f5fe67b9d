// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMargins>
#include <QRect>
#include <functional>
#include <optional>

class QWidget;

namespace platform {

// Keeps a window above normal windows, or lets it go back among them, without changing whether it shows.
void setAlwaysOnTop(QWidget *window, bool onTop);
// Takes the close button off a window's title bar.
void removeCloseButton(QWidget *window);
// Keeps an ordinary top-level window off the task bar and the pager (X11 only). Call it from the window's show event,
// before the window is mapped: window managers read the initial state then, and drop it when the window is hidden.
// setAlwaysOnTop keeps it so.
void keepOffTaskbar(QWidget *window);
// Lets a hidden window that was minimised map as a normal window again (X11 only). Qt writes "start minimised" into
// the window's hints when it minimises it and forgets its minimised state once the window manager withdraws the
// hidden window, so nothing clears the hint, and window managers that read it at every map (xfwm4) minimise the
// window again when it is shown. Call it before showing.
void clearMinimisedHint(QWidget *window);
// The frame the window manager will draw around a window that is not shown yet (X11 only): asked of it beforehand,
// as window managers answer at once; null when it says nothing within a moment.
QMargins expectedFrame(QWidget *window);
// The frame the window manager says it drew around a shown window (X11 only), as it says it now: Qt's own idea of
// it can lag behind a window shown again; null while it has said nothing.
QMargins drawnFrame(const QWidget *window);
// Where a shown window's frame is on the screen as the X server has it now (X11 only): a window manager may place a
// window itself as it maps it, and Qt learns of that only later. Null while the window is not viewable or its frame
// is unknown; nullopt where nobody can tell (not on X11).
std::optional<QRect> placedFrame(const QWidget *window);
// Calls `then` when a window the window manager minimised is still minimised a moment later, as a user's minimising
// is: mutter 48 reports a window it is still mapping as minimised for a moment, and a window put away for that
// would vanish as it shows.
void whenMinimisedStays(QWidget *window, std::function<void()> then);
// Makes every menu of the program go to the window manager typed as the popup menu it is (X11 only).
void typeMenusAsPopups();

} // namespace platform
