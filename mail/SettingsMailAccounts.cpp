// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/SettingsMailAccounts.h"

#include "core/Settings.h"

int SettingsMailAccounts::count() const
{
    return Settings().NbrofAccounts;
}

MailAccount SettingsMailAccounts::account(int index) const
{
    const SettingsRecord &s = Settings();
    const auto i = size_t(index);
    return {s.POPServer[i], s.UserName[i], {}, s.Encryption[i], {}};
}

std::optional<QString> SettingsMailAccounts::password(int index, QString *why)
{
    return PasswordForCheck(index, why);
}
