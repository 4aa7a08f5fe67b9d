// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// The mail program's pictures: the envelope when idle, the envelope with news, and the eight frames of the moon
// that turns in the tray while a check runs (frame 0-7), and the four of the progress window's animation (0-3).
QIcon MailIdleIcon();
QIcon MailNewIcon();
// The envelope with a badge that says how many messages are new: 1 to 99, "99+" above.
QIcon MailCountIcon(int count);
// The envelope with a red mark: the last check failed.
QIcon MailFailedIcon();
QIcon MoonFrame(int frame);
QPixmap CheckingFrame(int frame);
