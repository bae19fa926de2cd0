// The VST 2 structures that calls point to, for the structure decoders. Our
// own definitions, written from the documented field lists. Each layout was
// checked against the independent descriptions at hand: Debian's fst.h, the
// VeSTige header (DPF), the vst-rs crate's api.rs and JUCE's VST hosting and
// wrapper code (which names fields but takes its layouts from its header).
// A structure that no two of them describe alike is defined here for the
// record but not decoded: its line keeps printing the address.
#pragma once

#include "../vst/VstInterface.h"

#include <cstddef>
#include <cstdint>

//==============================================================================
// Events: fst.h, VeSTige and vst-rs agree on the header and on VstEvents
// (a pointer-sized reserved field, then the pointers).
constexpr std::int32_t kVstMidiType = 1;
constexpr std::int32_t kVstSysExType = 6;

constexpr std::int32_t kVstMidiEventIsRealtime = 1;

struct VstEvent
{
    std::int32_t type;
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    char data[16];
};

struct VstEvents
{
    std::int32_t numEvents;
    VstIntPtr reserved;
    VstEvent* events[2]; // as many as numEvents: the sender allocates past the end
};

// VeSTige and vst-rs: 32-bit noteLength and noteOffset, detune and
// noteOffVelocity after midiData. fst.h guesses shorts there; all three put
// midiData at 24.
struct VstMidiEvent
{
    std::int32_t type;
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    std::int32_t noteLength;
    std::int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};

// vst-rs: a 32-bit dumpBytes. fst.h makes it pointer-sized, which on a
// little-endian machine covers the same low bytes and leaves resvd1, the
// dump pointer and resvd2 where vst-rs has them.
struct VstMidiSysexEvent
{
    std::int32_t type;
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    std::int32_t dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};

//==============================================================================
// Transport: VeSTige and vst-rs agree field for field, flag bits included.
// fst.h agrees on the doubles, the time signature, samplesToNextClock and
// flags, and says it made up the two fields it has where these have the SMPTE
// offset and frame rate.
enum VstTimeInfoFlags : std::int32_t
{
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstAutomationWriting = 1 << 6,
    kVstAutomationReading = 1 << 7,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15
};

// vst-rs's numbering; JUCE's wrapper uses the same names.
enum VstSmpteFrameRate : std::int32_t
{
    kVstSmpte24fps = 0,
    kVstSmpte25fps = 1,
    kVstSmpte2997fps = 2,
    kVstSmpte30fps = 3,
    kVstSmpte2997dfps = 4,
    kVstSmpte30dfps = 5,
    kVstSmpteFilm16mm = 6,
    kVstSmpteFilm35mm = 7,
    kVstSmpte239fps = 10,
    kVstSmpte249fps = 11,
    kVstSmpte599fps = 12,
    kVstSmpte60fps = 13
};

struct VstTimeInfo
{
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    std::int32_t timeSigNumerator;
    std::int32_t timeSigDenominator;
    std::int32_t smpteOffset;
    std::int32_t smpteFrameRate;
    std::int32_t samplesToNextClock;
    std::int32_t flags;
};

//==============================================================================
// Speakers: fst.h gives the properties (four floats, name[64], type, 28
// reserved bytes) and the arrangement's header; JUCE's hosting reads type,
// numChannels and speakers[i].type and sizes the record for eight speakers.
// Arrangement numbers: fst.h and vst-rs (sequential from mono 0 to 10.2, 28).
// Speaker numbers: fst.h gives M 0, L 1, R 2 and the order of the rest,
// JUCE's wrapper the same order.
enum VstSpeakerArrangementType : std::int32_t
{
    kSpeakerArrUserDefined = -2,
    kSpeakerArrEmpty = -1,
    kSpeakerArrMono = 0,
    kSpeakerArrStereo = 1,
    kSpeakerArr51 = 15,
    kSpeakerArr102 = 28
};

enum VstSpeakerType : std::int32_t
{
    kSpeakerM = 0,
    kSpeakerL = 1,
    kSpeakerR = 2,
    kSpeakerC = 3,
    kSpeakerLfe = 4,
    kSpeakerLs = 5,
    kSpeakerRs = 6,
    kSpeakerLfe2 = 19
};

struct VstSpeakerProperties
{
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    std::int32_t type;
    char future[28];
};

struct VstSpeakerArrangement
{
    std::int32_t type;
    std::int32_t numChannels;
    VstSpeakerProperties speakers[8]; // as many as numChannels
};

//==============================================================================
// Pins: fst.h and vst-rs agree (vst-rs adds the 48 reserved bytes at the
// end; fst.h stops after shortLabel, so only that much is read). Flag bits
// from vst-rs; JUCE's hosting tests the same three by name.
enum VstPinPropertiesFlags : std::int32_t
{
    kVstPinIsActive = 1,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2
};

constexpr int kVstMaxLabelLen = 64;
constexpr int kVstMaxShortLabelLen = 8;
constexpr int kVstMaxCategLabelLen = 24;

struct VstPinProperties
{
    char label[kVstMaxLabelLen];
    std::int32_t flags;
    std::int32_t arrangementType;
    char shortLabel[kVstMaxShortLabelLen];
    char future[48];
};

//==============================================================================
// Parameters: VeSTige's field list and flag bits, which match the documented
// ones; no other source describes the record.
enum VstParameterFlags : std::int32_t
{
    kVstParameterIsSwitch = 1,
    kVstParameterUsesIntegerMinMax = 1 << 1,
    kVstParameterUsesFloatStep = 1 << 2,
    kVstParameterUsesIntStep = 1 << 3,
    kVstParameterSupportsDisplayIndex = 1 << 4,
    kVstParameterSupportsDisplayCategory = 1 << 5,
    kVstParameterCanRamp = 1 << 6
};

struct VstParameterProperties
{
    float stepFloat;
    float smallStepFloat;
    float largeStepFloat;
    char label[kVstMaxLabelLen];
    std::int32_t flags;
    std::int32_t minInteger;
    std::int32_t maxInteger;
    std::int32_t stepInteger;
    std::int32_t largeStepInteger;
    char shortLabel[kVstMaxShortLabelLen];
    std::int16_t displayIndex;
    std::int16_t category;
    std::int16_t numParametersInCategory;
    std::int16_t reserved;
    char categoryLabel[kVstMaxCategLabelLen];
    char future[16];
};

//==============================================================================
// Not decoded: none of fst.h, VeSTige or JUCE describes these, and vst-rs
// only VstFileSelect, so nothing confirms the documented field lists they
// are written from. Kept so that the opcodes' records have a name.
struct MidiProgramName
{
    std::int32_t thisProgramIndex;
    char name[64];
    char midiProgram;
    char midiBankMsb;
    char midiBankLsb;
    char reserved;
    std::int32_t parentCategoryIndex;
    std::int32_t flags;
};

struct MidiProgramCategory
{
    std::int32_t thisCategoryIndex;
    char name[64];
    std::int32_t parentCategoryIndex;
    std::int32_t flags;
};

struct MidiKeyName
{
    std::int32_t thisProgramIndex;
    std::int32_t thisKeyNumber;
    char keyName[64];
    std::int32_t reserved;
    std::int32_t flags;
};

struct VstPatchChunkInfo
{
    std::int32_t version;
    std::int32_t pluginUniqueID;
    std::int32_t pluginVersion;
    std::int32_t numElements;
    char future[48];
};

struct VstVariableIo
{
    float** inputs;
    float** outputs;
    std::int32_t numSamplesInput;
    std::int32_t numSamplesOutput;
    std::int32_t* numSamplesInputProcessed;
    std::int32_t* numSamplesOutputProcessed;
};

struct VstWindow
{
    char title[128];
    std::int16_t xPos;
    std::int16_t yPos;
    std::int16_t width;
    std::int16_t height;
    std::int16_t style;
    void* parent;
    void* userHandle;
    void* winHandle;
    char future[104];
};

enum VstFileSelectCommand : std::int32_t
{
    kVstFileLoad = 0,
    kVstFileSave = 1,
    kVstMultipleFilesLoad = 2,
    kVstDirectorySelect = 3
};

enum VstFileSelectType : std::int32_t
{
    kVstFileType = 0
};

struct VstFileSelect
{
    std::int32_t command;
    std::int32_t type;
    std::int32_t macCreator;
    std::int32_t nbFileTypes;
    void* fileTypes;
    char title[1024];
    char* initialPath;
    char* returnPath;
    std::int32_t sizeReturnPath;
    char** returnMultiplePaths;
    std::int32_t nbReturnPaths;
    VstIntPtr reserved;
    char future[116];
};

//==============================================================================
#if INTPTR_MAX == INT64_MAX
static_assert (sizeof (VstEvent) == 32 && sizeof (VstEvents) == 32, "64-bit event layout");
static_assert (offsetof (VstEvents, events) == 16, "64-bit event layout");
static_assert (sizeof (VstMidiEvent) == 32 && offsetof (VstMidiEvent, midiData) == 24
                   && offsetof (VstMidiEvent, detune) == 28, "64-bit MIDI event layout");
static_assert (sizeof (VstMidiSysexEvent) == 48 && offsetof (VstMidiSysexEvent, dumpBytes) == 16
                   && offsetof (VstMidiSysexEvent, sysexDump) == 32, "64-bit SysEx event layout");
static_assert (sizeof (VstFileSelect) == 1216, "64-bit file-select layout");
static_assert (sizeof (VstWindow) == 272, "64-bit window layout");
#else
static_assert (sizeof (VstEvent) == 32 && sizeof (VstEvents) == 16, "32-bit event layout");
static_assert (offsetof (VstEvents, events) == 8, "32-bit event layout");
static_assert (sizeof (VstMidiEvent) == 32 && offsetof (VstMidiEvent, midiData) == 24
                   && offsetof (VstMidiEvent, detune) == 28, "32-bit MIDI event layout");
static_assert (sizeof (VstMidiSysexEvent) == 32 && offsetof (VstMidiSysexEvent, dumpBytes) == 16
                   && offsetof (VstMidiSysexEvent, sysexDump) == 24, "32-bit SysEx event layout");
static_assert (sizeof (VstFileSelect) == 1184, "32-bit file-select layout");
static_assert (sizeof (VstWindow) == 256, "32-bit window layout");
#endif

// The same on both: 32-bit fields and doubles only.
static_assert (sizeof (VstTimeInfo) == 88 && offsetof (VstTimeInfo, timeSigNumerator) == 64
                   && offsetof (VstTimeInfo, flags) == 84, "time-info layout");
static_assert (sizeof (VstSpeakerProperties) == 112 && offsetof (VstSpeakerProperties, type) == 80, "speaker layout");
static_assert (offsetof (VstSpeakerArrangement, speakers) == 8, "arrangement layout");
static_assert (sizeof (VstPinProperties) == 128 && offsetof (VstPinProperties, shortLabel) == 72, "pin layout");
static_assert (sizeof (VstParameterProperties) == 152 && offsetof (VstParameterProperties, displayIndex) == 104
                   && offsetof (VstParameterProperties, categoryLabel) == 112, "parameter layout");
static_assert (sizeof (MidiProgramName) == 80 && sizeof (MidiProgramCategory) == 76
                   && sizeof (MidiKeyName) == 80 && sizeof (VstPatchChunkInfo) == 64, "MIDI name layouts");
