// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Plays one of the suite's sounds if the Sound menu is on. "trash.wav" never cuts short a sound still playing.
void PlaySound(const QString &fileName);
