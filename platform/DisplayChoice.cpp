#include "platform/DisplayChoice.h"

namespace platform {

DisplayChoice chooseDisplay(const QByteArray &waylandDisplay, const QByteArray &x11Display,
                            const QByteArray &chosenPlatform)
{
    if (!chosenPlatform.isEmpty() || waylandDisplay.isEmpty())
        return DisplayChoice::AsChosen;
    return x11Display.isEmpty() ? DisplayChoice::WaylandOnly : DisplayChoice::UseXcb;
}

} // namespace platform
