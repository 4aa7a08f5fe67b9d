#include "core/AutodialFlags.h"

AutodialFlagsRecord &AutodialFlags()
{
    static AutodialFlagsRecord flags;
    return flags;
}
