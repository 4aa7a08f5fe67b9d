// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailCheck.h"

// The mail accounts as the settings hold them, each password asked of the keyring at the account's turn.
class SettingsMailAccounts final : public MailAccounts {
public:
    int count() const override;
    MailAccount account(int index) const override;
    void password(int index, QObject *context, PasswordAnswer answer) override;
};
