#include "WrapperEffect.h"

// Static storage: all zero until the first successful main, and kept after Close.
AEffect wrapperEffect {};
