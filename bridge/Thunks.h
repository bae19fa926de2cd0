// The six entry points through which every call passes between the host and
// the target: five in wrapperEffect for the host, one host callback for the
// target. Each counts and logs the call, forwards it unchanged and logs the
// result. Any thread; no lock, no allocation.
#pragma once

#include "VstInterface.h"

constexpr std::int32_t effCloseOpcode = 1;

VstIntPtr dispatcherThunk (AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);
void processThunk (AEffect* effect, float** inputs, float** outputs, std::int32_t sampleFrames);
void processReplacingThunk (AEffect* effect, float** inputs, float** outputs, std::int32_t sampleFrames);
void setParameterThunk (AEffect* effect, std::int32_t index, float parameter);
float getParameterThunk (AEffect* effect, std::int32_t index);
VstIntPtr audioMasterThunk (AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);

// Double-precision processing has no entry in the call log: forwarded, not counted.
void processDoubleReplacingThunk (AEffect* effect, double** inputs, double** outputs, std::int32_t sampleFrames);

// Start-up thread: wrapperEffect := the target's record, with the five slots leading here.
void buildWrapperEffect (const AEffect& target) noexcept;
