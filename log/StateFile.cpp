// The state file: tbLogger's enable flags and options, the folder last
// browsed and the remembered target, in an XML document beside the Tattlebox
// library (or in the user's state folder, see StateLocation.h).
//
// The reader is lenient the way the file's users expect (names in any case,
// missing pieces keep their values) and defensive towards what a damaged or
// hostile file may hold: a document is screened (DocumentScreen.h) before
// the framework parses it.
#include "DocumentScreen.h"
#include "StateFile.h"
#include "StateLocation.h"
#include "TBLogger.h"
#include "../platform/FileChecks.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace
{
using CharPointer = juce::String::CharPointerType;
using juce::juce_wchar;

// Ours is about 9 KB. Anything far larger is not our file, and reading it
// whole (a link to a device, say) could exhaust the host's memory.
constexpr int maxStateFileBytes = 1 << 20;

// Attribute lookup by index walks a list, so a lookup costs the square of
// the attributes looked at. Ours are a few; the rest of a stuffed element is ignored.
constexpr int maxAttributesLookedAt = 64;


//==============================================================================
// Element and attribute names match without regard to case; the first match wins.
const juce::XmlElement* findChild (const juce::XmlElement& parent, juce::StringRef name)
{
    for (auto* child : parent.getChildIterator())
        if (child->getTagName().equalsIgnoreCase (name))
            return child;

    return nullptr;
}

const juce::String* findAttribute (const juce::XmlElement& element, juce::StringRef name)
{
    const auto count = juce::jmin (element.getNumAttributes(), maxAttributesLookedAt);

    for (int i = 0; i < count; ++i)
        if (element.getAttributeName (i).equalsIgnoreCase (name))
            return &element.getAttributeValue (i);

    return nullptr;
}

// Leading blanks, an optional sign, the digits up to the first other
// character; no digits read as 0, and values beyond 32 bits are clamped.
int parseInteger (CharPointer p) noexcept
{
    p.incrementToEndOfWhitespace();

    const bool negative = (*p == '-');

    if (*p == '-' || *p == '+')
        ++p;

    constexpr std::int64_t ceiling = std::int64_t (INT_MAX) + 1;
    std::int64_t magnitude = 0;

    for (; *p >= '0' && *p <= '9'; ++p)
        magnitude = juce::jmin (ceiling, magnitude * 10 + (int) (*p - '0'));

    return (int) juce::jlimit (std::int64_t (INT_MIN), std::int64_t (INT_MAX),
                               negative ? -magnitude : magnitude);
}

int integerAttribute (const juce::XmlElement& element, juce::StringRef name, int valueWhenMissing)
{
    if (auto* value = findAttribute (element, name))
        return parseInteger (value->getCharPointer());

    return valueWhenMissing;
}

void restoreOption (const juce::XmlElement& parameters, juce::StringRef name, std::atomic<bool>& option)
{
    const auto value = integerAttribute (parameters, name, -1);

    if (value >= 0)
        option = (value != 0);
}

// The switches every state file carries, in this order.
struct NamedOption
{
    const char* name;
    std::atomic<bool> TBLogger::* option;
};

const NamedOption alwaysWritten[] = {
    { "logParameters", &TBLogger::logParameters }, { "logReturnParameters", &TBLogger::logReturnParameters },
    { "logTime", &TBLogger::logTime }, { "rememberTarget", &TBLogger::rememberTarget },
    { "logToDebugOutput", &TBLogger::logToDebugOutput }, { "logToFile", &TBLogger::logToFile },
    { "decodeStructures", &TBLogger::decodeStructures }, { "timeCalls", &TBLogger::timeCalls },
    { "logSummary", &TBLogger::logSummary }, { "writeInBackground", &TBLogger::writeInBackground },
};

// A number of seconds from 0 to a day; anything else leaves the option as it is.
void restoreSeconds (const juce::XmlElement& parameters, juce::StringRef name, std::atomic<double>& option)
{
    if (auto* value = findAttribute (parameters, name); value != nullptr && value->trim().containsOnly ("0123456789."))
        if (const auto seconds = value->trim().getDoubleValue(); value->trim().isNotEmpty() && seconds <= 86400.0)
            option = seconds;
}

void restoreGroup (const juce::XmlElement& groupElement, int group)
{
    const auto count = TBLogger::getNumOpCodes (group);

    for (auto* child : groupElement.getChildIterator())
    {
        if (! child->getTagName().equalsIgnoreCase ("opCode"))
            continue;

        const auto index = integerAttribute (*child, "index", -1);

        if (index < 0 || index >= count)
            continue;

        const auto enabled = integerAttribute (*child, "enabled", -1);

        if (enabled >= 0)
            TBLogger::setOpCodeEnabled (enabled != 0, group, index);
    }
}

// A text that is not an absolute path cannot name a folder to browse or a
// library to load; nor can one that starts with '~', which would mean a
// look-up in the user database.
bool isUsablePath (const juce::String& path)
{
    return juce::File::isAbsolutePath (path) && ! path.startsWithChar ('~');
}

// The path held by the first child of the root with that name; left alone
// when there is none or it holds no usable path.
void restorePath (const juce::XmlElement& root, juce::StringRef name, juce::File& file)
{
    auto* element = findChild (root, name);

    if (element == nullptr)
        return;

    auto* first = element->getFirstChildElement();

    if (first == nullptr || ! first->isTextElement())
        return;

    const auto path = first->getText().trim();

    if (isUsablePath (path))
        file = juce::File (path);
}

std::unique_ptr<juce::XmlElement> createDocument (const juce::File& lastDirectory, const juce::File& target)
{
    auto root = std::make_unique<juce::XmlElement> ("Tattlebox");
    root->createNewChildElement ("LastDir")->addTextElement (lastDirectory.getFullPathName());

    if (tbLogger.rememberTarget && target != juce::File())
        root->createNewChildElement ("Target")->addTextElement (target.getFullPathName());

    tbLogger.saveToXml (*root->createNewChildElement ("Logger"));
    return root;
}

// Says why the state file is neither read nor written; false, for the writer to return.
bool logRefusal (const juce::String& line)
{
    tbLogger.logLine (line.toRawUTF8());
    return false;
}

bool writeDocument (const juce::XmlElement& root, const juce::File& stateFile)
{
    if (stateFile == juce::File())
        return false;

    // The writer fills a new file beside the state file and then moves it
    // into place: a failed write leaves the previous file whole.
    juce::XmlElement::TextFormat format;
    format.customEncoding = "UTF-8";
    return root.writeTo (stateFile, format);
}
} // namespace

//==============================================================================
// [any thread]
juce::File getStateFile (const juce::File& pluginFile)
{
    return locateStateFile (pluginFile);
}

// [shut-down]
bool writeStateFile (const juce::File& pluginFile, const juce::File& lastDirectory, const juce::File& target)
{
    try
    {
        juce::String refusal;
        const auto stateFile = locateStateFile (pluginFile, &refusal);

        if (refusal.isNotEmpty())
            return logRefusal (refusal);

        // The writer replaces what is at the path, never writes through it;
        // but a file that is not ours to read is not ours to replace either.
        if (auto* reason = describeRefusal (checkFileToReplace (stateFile)))
            return logRefusal ("Refused state file " + stateFile.getFullPathName() + reason);

        if (writeDocument (*createDocument (lastDirectory, target), stateFile))
            return true;

        tbLogger.logLine (("Failed to write logger state to " + stateFile.getFullPathName()).toRawUTF8());
    }
    catch (...) {} // out of memory; shut-down runs inside a host call, so nothing may escape

    return false;
}

// [start-up]
void readStateFile (const juce::File& pluginFile, juce::File& lastDirectory, juce::File* target)
{
    try
    {
        juce::String refusal;
        const auto stateFile = locateStateFile (pluginFile, &refusal);

        if (refusal.isNotEmpty())
        {
            logRefusal (refusal);
            return;
        }

        if (stateFile == juce::File())
            return;

        // A missing file, a folder or a file too large for ours is passed over in silence.
        juce::MemoryBlock bytes;
        const auto fault = readCheckedFile (stateFile, bytes, (std::size_t) maxStateFileBytes);

        if (auto* reason = describeRefusal (fault))
            logRefusal ("Refused state file " + stateFile.getFullPathName() + reason);
        else if (fault == FileFault::none)
            readStateDocument (juce::String::createStringFromData (bytes.getData(), (int) bytes.getSize()),
                               lastDirectory, target);
    }
    catch (...) {} // start-up runs inside a host call: keep what was restored
}

// [start-up] (and the fuzzer).
void readStateDocument (const juce::String& documentText, juce::File& lastDirectory, juce::File* target)
{
    if (! passesDocumentScreen (documentText.getCharPointer()))
        return;

    const auto root = juce::XmlDocument (documentText).getDocumentElement();

    if (root == nullptr)
        return;

    restorePath (*root, "LastDir", lastDirectory);

    if (target != nullptr)
        restorePath (*root, "Target", *target);

    if (auto* logger = findChild (*root, "Logger"))
        tbLogger.restoreFromXml (*logger);
}

//==============================================================================
// [shut-down]
void TBLogger::saveToXml (juce::XmlElement& element) const
{
    element.deleteAllChildElements();

    for (int group = 0; group < numOpCodeGroups; ++group)
    {
        auto* groupElement = element.createNewChildElement (opCodeGroups[group].name);

        for (int index = 0; index < getNumOpCodes (group); ++index)
        {
            auto* opCode = groupElement->createNewChildElement ("opCode");
            opCode->setAttribute ("index", index);
            opCode->setAttribute ("name", getOpCodeName (group, index));
            opCode->setAttribute ("enabled", isOpCodeEnabled (group, index) ? 1 : 0);
        }
    }

    auto* parameters = element.createNewChildElement ("Parameters");
    for (const auto& written : alwaysWritten)
        parameters->setAttribute (written.name, (this->*written.option) ? 1 : 0);

    // Only while on: the state files of sessions without a trace stay as they were.
    if (writeTrace)
        parameters->setAttribute ("writeTrace", 1);

    if (! reportCrashes)
        parameters->setAttribute ("reportCrashes", 0);

    if (hangSeconds != defaultHangSeconds)
        parameters->setAttribute ("hangSeconds", hangSeconds.load());

    for (const auto& [name, option] : { std::pair { "checkCalls", &checkCalls }, std::pair { "checkAudio", &checkAudio },
                                        std::pair { "recordSession", &recordSession }, std::pair { "recordAudio", &recordAudio } })
        if (option->load())
            parameters->setAttribute (name, 1);

    // The rules switched off, in a group of their own; none while all are on.
    juce::XmlElement* checks = nullptr;

    for (int rule = 0; rule < numCheckRules; ++rule)
    {
        if (checkRuleOn[rule])
            continue;

        if (checks == nullptr)
            checks = element.createNewChildElement ("Checks");

        checks->setAttribute (checkRuleInfo[rule].key, 0);
    }
}

// [start-up] Before any call reaches the logger.
void TBLogger::restoreFromXml (const juce::XmlElement& element)
{
    for (int group = 0; group < numOpCodeGroups; ++group)
        if (auto* groupElement = findChild (element, opCodeGroups[group].name))
            restoreGroup (*groupElement, group);

    if (auto* parameters = findChild (element, "Parameters"))
    {
        for (const auto& written : alwaysWritten)
            restoreOption (*parameters, written.name, this->*written.option);

        restoreOption (*parameters, "writeTrace", writeTrace);
        restoreOption (*parameters, "reportCrashes", reportCrashes);
        restoreSeconds (*parameters, "hangSeconds", hangSeconds);
        restoreOption (*parameters, "checkCalls", checkCalls);
        restoreOption (*parameters, "checkAudio", checkAudio);
        restoreOption (*parameters, "recordSession", recordSession);
        restoreOption (*parameters, "recordAudio", recordAudio);
    }

    if (auto* checks = findChild (element, "Checks"))
        for (int rule = 0; rule < numCheckRules; ++rule)
            restoreOption (*checks, checkRuleInfo[rule].key, checkRuleOn[rule]);
}
