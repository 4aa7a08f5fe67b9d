// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MessageRequest.h"

#include <QString>

namespace platform {

// Every message box of the suite goes through here. Texts and titles are shown exactly as given.
MsgAnswer showMessage(const QString &text, const QString &title, MsgIcon icon, MsgButtons buttons = MsgButtons::Ok,
                      MsgAnswer defaultAnswer = MsgAnswer::Ok);

// A box that needs no answer and must not hold up what shows it (the start, for one): it stays open on its own
// while the caller goes on. Tests see it as any other box.
void showMessageLater(const QString &text, const QString &title, MsgIcon icon);

// While one lives, the request being handled came from the tray (an icon's click, its menu): the boxes it shows
// speak for no window of the suite and open over the screen, whichever window was active.
class BoxesSpeakForNoWindow {
public:
    BoxesSpeakForNoWindow();
    ~BoxesSpeakForNoWindow();
    BoxesSpeakForNoWindow(const BoxesSpeakForNoWindow &) = delete;
    BoxesSpeakForNoWindow &operator=(const BoxesSpeakForNoWindow &) = delete;
};

// Tests answer the boxes instead of a user; an empty responder puts the real box back.
void setMessageResponder(MessageResponder responder);

} // namespace platform
