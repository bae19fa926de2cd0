// The six entry points through which every call passes between the host and
// the target: five in wrapperEffect for the host, one host callback for the
// target. Each counts and logs the call, forwards it unchanged and logs the
// result, without a lock or an allocation; the one exception is Close, whose
// dispatcher call then runs the whole shut-down on the thread that sent it.
#pragma once

#include "../vst/VstInterface.h"

constexpr std::int32_t effCloseOpcode = 1;

// [any thread, realtime]; with Close, [shut-down].
VstIntPtr dispatcherThunk (AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);
// [audio]
void processThunk (AEffect* effect, float** inputs, float** outputs, std::int32_t sampleFrames);
// [audio]
void processReplacingThunk (AEffect* effect, float** inputs, float** outputs, std::int32_t sampleFrames);
// [any thread, realtime]
void setParameterThunk (AEffect* effect, std::int32_t index, float parameter);
// [any thread, realtime]
float getParameterThunk (AEffect* effect, std::int32_t index);
// [any thread, realtime] The target's threads, during its entry included.
VstIntPtr audioMasterThunk (AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt);

// [audio] Double-precision processing has no entry in the call log: forwarded, not counted.
void processDoubleReplacingThunk (AEffect* effect, double** inputs, double** outputs, std::int32_t sampleFrames);

// [start-up] wrapperEffect := the target's record, with the five slots leading here.
void buildWrapperEffect (const AEffect& target) noexcept;
