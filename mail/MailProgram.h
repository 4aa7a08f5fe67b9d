// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The command that starts the user's mail program ("EmailPath"): the program itself, or the Exec line of a .desktop
// launcher with its field codes (%u, %F, ...) taken out. Empty when there is none, and for the first start's
// placeholder.
QString MailProgramCommand(const QString &emailPath);
