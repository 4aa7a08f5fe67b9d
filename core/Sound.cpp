// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Sound.h"

#include "core/Settings.h"
#include "platform/Sound.h"

void PlaySound(const QString &fileName)
{
    if (!Settings().PlaySound)
        return;
    platform::soundPlayer().play(fileName, fileName == u"trash.wav");
}
