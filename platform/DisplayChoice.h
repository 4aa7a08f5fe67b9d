#pragma once

#include <QByteArray>

namespace platform {

// Which display system the suite runs on. Notes need what Wayland does not give a client: their own positions,
// their stacking and staying on top. So where Xwayland runs beside Wayland and the user chose no platform, the suite
// runs on X11; without Xwayland it runs on Wayland and says once what will not work.
enum class DisplayChoice { AsChosen, UseXcb, WaylandOnly };

// From WAYLAND_DISPLAY, DISPLAY and QT_QPA_PLATFORM as the environment has them.
DisplayChoice chooseDisplay(const QByteArray &waylandDisplay, const QByteArray &x11Display,
                            const QByteArray &chosenPlatform);

} // namespace platform
