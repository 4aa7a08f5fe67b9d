// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/ErrorCodes.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <optional>

namespace platform {

// Text from files and peers: UTF-8 when the bytes are valid UTF-8, otherwise Windows-1252, the code page older
// copies of the suite wrote in.
bool isUtf8(QByteArrayView bytes);
QString fromWindows1252(QByteArrayView bytes);
QString decodeText(QByteArrayView bytes);

// Line breaks as the notes file and the peers on the wire have them, CR LF, whatever form the text came in (an edit
// box gives LF; older or foreign files may hold either).
QString withCrLf(const QString &text);
// Line breaks as Qt's text widgets want them: LF.
QString withLf(const QString &text);

// Replaces `path` with `bytes` so that a crash or a full disk at any moment leaves either the old or the new
// complete file: the new generation is written and synced beside it first, the current file becomes
// `backupPath` (none when it is empty), then the new one takes its name. A new file gets `permissions` where given.
// Returns the failure, if any; `path` is then untouched.
std::optional<ErrorKind> replaceFile(const QString &path, const QString &backupPath, const QByteArray &bytes,
                                     std::optional<QFileDevice::Permissions> permissions = std::nullopt);

} // namespace platform
