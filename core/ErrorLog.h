// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ErrorCodes.h"

#include <QString>

// Appends one line to error.log: the message and the time stamp, each in double quotes, CR LF at the end.
// The log is deleted once it passes 1,000,000 bytes, so the next line starts a new file. Never fails.
void logError(const QString &message);

// Writes a handler's failure: its tag ("err_Bas_SaveAllNotes "), the error number, a blank and the description.
void logError(const QString &tag, platform::ErrorKind kind, const QString &extra = {});
void logError(const QString &tag, int number, const QString &description, const QString &extra = {});

// The largest size error.log may reach before the line that passes it deletes the file.
inline constexpr qint64 ErrorLogLimit = 1'000'000;
