// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Dialer.h"

#include <QTimer>

namespace platform {

namespace {

class UnavailableDialer final : public Dialer {
public:
    bool RasIsConnected() const override { return false; }
    void RasDial() override
    {
        // Like a real dialer, the outcome comes after the call has returned.
        QTimer::singleShot(0, this, [this] {
            Q_EMIT LastError(623,
                             QStringLiteral("Dial-up networking is not available on this computer. Switch off \"I am "
                                            "using a modem\" and check your mail over your network connection."));
        });
    }
    void RasHangUp() override {}
    int RasEntryCount() const override { return 0; }
    QString RasEntryAt(int) const override { return {}; }
    bool available() const override { return false; }
};

Dialer *g_installed = nullptr;

} // namespace

Dialer &dialer()
{
    if (g_installed)
        return *g_installed;
    // Never destroyed: windows may still hold connections to it while the process ends.
    static auto *system = new UnavailableDialer;
    return *system;
}

void installDialer(Dialer *dialer)
{
    g_installed = dialer;
}

} // namespace platform
