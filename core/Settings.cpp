// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"

#include "core/ErrorLog.h"
#include "core/RunningTime.h"
#include "core/SettingsCodec.h"
#include "core/SettingsKeyring.h"
#include "core/SettingsState.h"
#include "platform/IniStore.h"
#include "platform/Paths.h"

#include <QSysInfo>
#include <memory>

using platform::ErrorKind;

namespace {

SettingsState &state()
{
    return settingsState();
}

SettingsRecord &record()
{
    return state().record;
}

void syncStore(const QString &tag)
{
    if (!SettingsStore().sync())
        logError(tag, ErrorKind::PathAccess);
}

} // namespace

SettingsRecord &Settings()
{
    return record();
}

platform::IniStore &SettingsStore()
{
    auto &store = state().store;
    if (!store)
        store = std::make_unique<platform::IniStore>(platform::settingsFile());
    return *store;
}

SettingsState &settingsState()
{
    static SettingsState settings;
    return settings;
}

void ResetSettings()
{
    state().record = SettingsRecord{};
    state().store.reset();
    ResetKeyring();
}

bool IsFirstStart()
{
    return !SettingsStore().value(SettingsGroup, QStringLiteral("StartNotes")).has_value();
}

void loadSettings()
{
    static const QString tag = QStringLiteral("err_Bas_SetGlobalVariables ");
    SettingsRecord &s = record();
    for (const QString &key : settingKeys(SettingsOrder::Read)) {
        const std::optional<QString> stored = SettingsStore().value(SettingsGroup, key);
        // A key a first start does not write came after the file did: its default stands, and nothing is wrong.
        if (!stored && !settingKeys(SettingsOrder::FirstStart).contains(key, Qt::CaseInsensitive))
            continue;
        const QString raw = stored.value_or(QString());
        if (const auto failure = readSetting(s, *settingField(key), raw))
            logError(tag, *failure, QStringLiteral("EXTRA:On getting registry info"));
    }
    s.totRunningTimeAtStart = s.totRunningTime;
    LoadPasswordsFromKeyring();

    // The host name stands in for the computer name, cut as the system's buffer would cut it.
    QString name = QSysInfo::machineHostName().left(255);
    if (const qsizetype nul = name.indexOf(QChar(0)); nul >= 0)
        name.truncate(nul);
    s.ComputerName = name;
}

void saveSettings(KeyringWait wait)
{
    static const QString tag = QStringLiteral("err_Bas_WriteGlobalVariables ");
    SettingsRecord &s = record();
    CountRunningTime(s);
    for (const QString &key : settingKeys(SettingsOrder::Write)) {
        const SettingField &f = *settingField(key);
        const auto text =
            f.kind == SettingKind::Password ? PasswordForFile(f, textMember(s, f), wait) : settingText(s, f);
        if (!text) {
            logError(tag, ErrorKind::InvalidCall);
            continue;
        }
        SettingsStore().setValue(SettingsGroup, key, *text);
    }
    syncStore(tag);
    SendKeyringCalls();
}

void saveSetting(const QString &key)
{
    const SettingField *field = settingField(key);
    if (!field || field->kind == SettingKind::Password)
        return;
    if (const auto text = settingText(record(), *field)) {
        SettingsStore().setValue(SettingsGroup, field->key, *text);
        SettingsStore().sync();
    }
}

void writeFirstStartDefaults()
{
    for (const QString &key : settingKeys(SettingsOrder::FirstStart))
        SettingsStore().setValue(SettingsGroup, key, settingField(key)->firstDefault);
    syncStore(QStringLiteral("err_Bas_WriteToRegistry "));
}
