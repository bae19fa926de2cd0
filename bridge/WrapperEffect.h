// wrapperEffect: the AEffect record the host receives from main. A snapshot of
// the target's record whose five function slots lead into Tattlebox.
#pragma once

#include "../vst/VstInterface.h"

extern AEffect wrapperEffect;
