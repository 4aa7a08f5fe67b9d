// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/SettingsRecord.h"
#include "platform/ErrorCodes.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>
#include <vector>

// The settings file's keys and how each value reads and writes as text. QtCore only: the file's codec, with no
// window, keyring or clock behind it.
enum class SettingKind { Int16, Int32, Flag, Date, DateTime, Text, Password };

// The orders the keys are read in at start, written in, and written in by a first start.
enum class SettingsOrder { Read, Write, FirstStart };

struct SettingField {
    using Accounts = std::array<QString, MaxMailAccounts>;
    using Member = std::variant<int SettingsRecord::*, bool SettingsRecord::*, QDate SettingsRecord::*,
                                QDateTime SettingsRecord::*, QString SettingsRecord::*, Accounts SettingsRecord::*>;

    QString key;
    SettingKind kind;
    Member member;
    QString firstDefault;
    int account = 0; // index into the account tables

    bool isAccountField() const { return std::holds_alternative<Accounts SettingsRecord::*>(member); }
};

// The group of the settings file that holds every key.
inline const QString SettingsGroup = QStringLiteral("Settings");

// The key of a mail account's field: the name, then the account's number from the second account on ("PassWord",
// "PassWord2", ...). `account` counts from 0.
QString accountKey(const char *name, int account);

// Every key, the mail accounts' ten times over.
const std::vector<SettingField> &settingFields();
// The field of a key, in any letter case; nullptr for a key the file does not have.
const SettingField *settingField(const QString &key);
// The keys in the order given, each spelled as that order writes it.
const QStringList &settingKeys(SettingsOrder order);

// Stores the text in the record; the kind of failure when it cannot be read as the field's type.
std::optional<platform::ErrorKind> readSetting(SettingsRecord &record, const SettingField &field, const QString &text);
// The text the file holds for the field; a password encoded.
std::optional<QString> settingText(const SettingsRecord &record, const SettingField &field);
// The record's text member of a text or password field.
QString &textMember(SettingsRecord &record, const SettingField &field);
const QString &textMember(const SettingsRecord &record, const SettingField &field);
