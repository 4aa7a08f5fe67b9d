// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

// Single values below the user's own root, kept in the settings file's "Registry" group. A key path such as
// "Software\Microsoft\Windows\CurrentVersion\Internet Settings" becomes a group path of its own.
enum class RegType { String = 1, Dword = 4 };

// The value as a 32-bit number; nothing when it is missing or no number.
std::optional<qint32> Reg_QueryValue(const QString &keyPath, const QString &valueName);
void Reg_SetKeyValue(const QString &keyPath, const QString &valueName, const QString &value, RegType type);
