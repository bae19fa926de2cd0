// A library with no plug-in entry at all.
#include "TestEffect.h"

extern "C" __attribute__ ((visibility ("default"))) int tpNotAnEntry()
{
    return 0;
}
