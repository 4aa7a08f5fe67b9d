// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace platform {

// A message box as the suite asks for it, and what answers it where a test stands in for the user. Plain values, so
// that the stand-ins need no display; the box itself is shown by MessageBox.h's calls.
enum class MsgIcon { None, Information, Exclamation, Question, Critical };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultAnswer = MsgAnswer::Ok;
};

using MessageResponder = std::function<MsgAnswer(const MessageRequest &)>;

} // namespace platform
