// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Dialer.h"

#include "platform/Seams.h"

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

} // namespace

Dialer &dialer()
{
    return serving<UnavailableDialer>(&Facilities::dialer);
}

void installDialer(Dialer *dialer)
{
    seams().dialer = dialer;
}

} // namespace platform
