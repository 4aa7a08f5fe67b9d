// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace platform {

// Keeps a window above normal windows, or lets it go back among them, without changing whether it shows.
void setAlwaysOnTop(QWidget *window, bool onTop);
// Takes the close button off a window's title bar.
void removeCloseButton(QWidget *window);

} // namespace platform
