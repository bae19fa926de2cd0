// A library with no plug-in entry at all.
#include "TestEffect.h"

extern "C" TP_VISIBLE int tpNotAnEntry()
{
    return 0;
}
