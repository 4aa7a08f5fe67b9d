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
    return {s.POPServer[i], s.UserName[i], {}, s.Encryption[i], {}, s.Folders[i].split(u'\t', Qt::SkipEmptyParts)};
}

void SettingsMailAccounts::password(int index, QObject *context, PasswordAnswer answer)
{
    passwordForCheck(index, context, std::move(answer));
}
