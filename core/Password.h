// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// The stored form of a password: each character moved by a small fixed shift for its position. It keeps a
// password from being read at a glance in the settings file; it is no encryption.
// Both return nothing when a character would leave the single-byte range 0-255.
std::optional<QString> EncodeStoredPassword(const QString &plain);
std::optional<QString> DecodeStoredPassword(const QString &stored);
