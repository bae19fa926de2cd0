#include "LogCapture.h"
#include "log/StateFile.h"
#include "tests/support/LoggerState.h"
#include "tests/support/Unprivileged.h"

#include <juce_core/juce_core.h>

#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
using juce::File;
using juce::String;

using testsupport::flagsAndOptions;

std::vector<bool> defaults()
{
    std::vector<bool> all (7 + 77 + 50, true);
    all.insert (all.end(), { true, true, false, false, true, false, false, false, false });
    return all;
}

String document (const String& rootContent, const String& rootName = "Tattlebox")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<" + rootName + ">"
             + rootContent + "</" + rootName + ">\r\n";
}

juce::StringArray childNames (const juce::XmlElement& element)
{
    juce::StringArray names;

    for (auto* child : element.getChildIterator())
        names.add (child->getTagName());

    return names;
}

// Each test has a folder of its own with the library's file name in it.
class StateFileTest : public CapturingTest
{
protected:
    StateFileTest() : CapturingTest ("Tattlebox.so") {}

    void SetUp() override
    {
        CapturingTest::SetUp();
        folder = File::getSpecialLocation (File::tempDirectory).getNonexistentChildFile ("tb-state-" + String (::getpid()), "", false);
        ASSERT_TRUE (folder.createDirectory());
        pluginFile = folder.getChildFile ("Tattlebox.so");
    }

    void TearDown() override
    {
        ::chmod (folder.getFullPathName().toRawUTF8(), 0755);
        folder.deleteRecursively();
        CapturingTest::TearDown();
    }

    void read (const String& text)  { readStateDocument (text, lastDirectory); }

    std::string failureLine (const File& stateFile) const
    {
        return threadPrefix() + "Tattlebox.so:Failed to write logger state to "
                 + stateFile.getFullPathName().toStdString();
    }

    File folder, pluginFile, lastDirectory { "/previous" };
};

//==============================================================================
TEST (StateFileLocation, ReplacesTheExtensionBesideTheLibrary)
{
    // A folder anyone may write into, so that the file stays beside the library.
    const auto folder = File::getSpecialLocation (File::tempDirectory).getFullPathName();
    EXPECT_EQ (getStateFile (File (folder + "/Tattlebox.so")).getFullPathName(), folder + "/Tattlebox.xml");
    EXPECT_EQ (getStateFile (File (folder + "/Tattlebox")).getFullPathName(), folder + "/Tattlebox.xml");
    EXPECT_EQ (getStateFile (File (folder + "/a.b.so")).getFullPathName(), folder + "/a.b.xml");
    EXPECT_EQ (getStateFile (File()), File());
}

TEST_F (StateFileTest, RoundTripRestoresEveryFlagOptionAndFolder)
{
    const File awkwardFolder (String::fromUTF8 ("/srv/Ünïcödé 日本/a&b <c> \"d\" 'e' ]]>"));

    for (bool inverted : { false, true })
    {
        SCOPED_TRACE (inverted);

        for (int group = 0; group < numOpCodeGroups; ++group)
            for (int index = 0; index < TBLogger::getNumOpCodes (group); ++index)
                TBLogger::setOpCodeEnabled (((index + group) % 3 == 0) != inverted, group, index);

        tbLogger.logParameters = inverted;
        tbLogger.logReturnParameters = ! inverted;
        tbLogger.logTime = ! inverted;
        // The later options, each away from its default in one of the rounds.
        tbLogger.rememberTarget = ! inverted;
        tbLogger.logToDebugOutput = inverted;
        tbLogger.logToFile = ! inverted;
        tbLogger.decodeStructures = inverted;
        tbLogger.timeCalls = ! inverted;
        tbLogger.logSummary = inverted;
        const auto written = flagsAndOptions();

        ASSERT_TRUE (writeStateFile (pluginFile, awkwardFolder));
        EXPECT_TRUE (CapturedLines::take().empty());

        tbLogger.initialise ("Tattlebox.so");
        lastDirectory = File();
        readStateFile (pluginFile, lastDirectory);

        EXPECT_EQ (flagsAndOptions(), written);
        EXPECT_EQ (lastDirectory.getFullPathName(), awkwardFolder.getFullPathName());
    }
}

// A file of an earlier version: six AEffect functions, none of the later options.
TEST_F (StateFileTest, AnOlderFileLeavesTheNewEntryAndOptionsAsInitialised)
{
    String sixOff;

    for (int index = 0; index < 6; ++index)
        sixOff << "<opCode index=\"" << index << "\" name=\"" << TBLogger::getOpCodeName (0, index) << "\" enabled=\"0\"/>";

    read (document ("<LastDir>/srv/old</LastDir><Logger><vstAEffectFunctions>" + sixOff + "</vstAEffectFunctions>"
                    "<Parameters logParameters=\"0\" logReturnParameters=\"1\" logTime=\"1\"/></Logger>"));

    for (int index = 0; index < 6; ++index)
        EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupAEffectFunctions, index)) << index;

    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupAEffectFunctions, functionProcessDoubleReplacing));
    EXPECT_FALSE (tbLogger.logParameters);
    EXPECT_TRUE (tbLogger.logTime);
    EXPECT_FALSE (tbLogger.timeCalls);
    EXPECT_FALSE (tbLogger.logSummary);

    // Written back, it gains the seventh entry and the new attributes.
    ASSERT_TRUE (writeStateFile (pluginFile, lastDirectory));
    const auto text = getStateFile (pluginFile).loadFileAsString();
    EXPECT_TRUE (text.contains ("<opCode index=\"6\" name=\"processDoubleReplacing\" enabled=\"1\"/>")) << text;
    EXPECT_TRUE (text.contains ("timeCalls=\"0\"") && text.contains ("logSummary=\"0\"")) << text;
}

TEST_F (StateFileTest, WritingReplacesTheFileInsteadOfOverwritingIt)
{
    // A second name for the old file keeps the old content only when the new
    // document went to a new file that was moved into place.
    const auto stateFile = getStateFile (pluginFile);
    ASSERT_TRUE (writeStateFile (pluginFile, File ("/srv/old")));
    const auto oldText = stateFile.loadFileAsString();
    const auto secondName = folder.getChildFile ("old.xml");
    ASSERT_EQ (::link (stateFile.getFullPathName().toRawUTF8(), secondName.getFullPathName().toRawUTF8()), 0);

    ASSERT_TRUE (writeStateFile (pluginFile, File ("/srv/new")));
    EXPECT_EQ (secondName.loadFileAsString(), oldText);
    EXPECT_TRUE (stateFile.loadFileAsString().contains ("/srv/new"));
    EXPECT_EQ (folder.getNumberOfChildFiles (File::findFilesAndDirectories), 2) << "no temporary file left";
}

TEST_F (StateFileTest, WrittenDocumentHasTheExpectedShape)
{
    TBLogger::setOpCodeEnabled (false, groupDispatcher, 1);
    ASSERT_TRUE (writeStateFile (pluginFile, File ("/srv/audio")));

    const auto text = getStateFile (pluginFile).loadFileAsString();
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<Tattlebox>")) << text;
    EXPECT_FALSE (text.contains ("DOCTYPE"));

    const auto root = juce::parseXML (text);
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (childNames (*root).joinIntoString (","), "LastDir,Logger");
    EXPECT_EQ (root->getChildElementAllSubText ("LastDir", {}), "/srv/audio");

    const auto* logger = root->getChildByName ("Logger");
    ASSERT_NE (logger, nullptr);
    EXPECT_EQ (childNames (*logger).joinIntoString (","),
               "vstAEffectFunctions,vstDispatcherOpCodes,vstAudioMasterOpCodes,Parameters");

    for (int group = 0; group < numOpCodeGroups; ++group)
    {
        const auto* groupElement = logger->getChildElement (group);
        ASSERT_EQ (groupElement->getNumChildElements(), TBLogger::getNumOpCodes (group));
        int index = 0;

        for (auto* opCode : groupElement->getChildIterator())
        {
            ASSERT_EQ (opCode->getTagName(), "opCode");
            ASSERT_EQ (opCode->getNumAttributes(), 3);
            EXPECT_EQ (opCode->getAttributeName (0) + opCode->getAttributeName (1) + opCode->getAttributeName (2),
                       "indexnameenabled");
            EXPECT_EQ (opCode->getAttributeValue (0), String (index));
            EXPECT_EQ (opCode->getAttributeValue (1), TBLogger::getOpCodeName (group, index));
            EXPECT_EQ (opCode->getAttributeValue (2), (group == groupDispatcher && index == 1) ? "0" : "1");
            ++index;
        }
    }

    const auto* parameters = logger->getChildByName ("Parameters");
    juce::StringArray attributes;

    for (int i = 0; i < parameters->getNumAttributes(); ++i)
        attributes.add (parameters->getAttributeName (i) + "=" + parameters->getAttributeValue (i));

    // The first three as they always stood, then the later options.
    EXPECT_EQ (attributes.joinIntoString (" "),
               "logParameters=1 logReturnParameters=1 logTime=0 rememberTarget=0 logToDebugOutput=1 logToFile=0 decodeStructures=0 "
              "timeCalls=0 logSummary=0 writeInBackground=1");
}

TEST_F (StateFileTest, RememberedTargetRoundTripsOnlyWhileTheOptionIsOn)
{
    const File target ("/usr/lib/vst/Synth.so");

    // Off (the default): no Target element, whatever the bridge holds.
    ASSERT_TRUE (writeStateFile (pluginFile, File ("/srv/audio"), target));
    auto root = juce::parseXML (getStateFile (pluginFile));
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (childNames (*root).joinIntoString (","), "LastDir,Logger");

    // On: Target right after LastDir, and both read back.
    tbLogger.rememberTarget = true;
    ASSERT_TRUE (writeStateFile (pluginFile, File ("/srv/audio"), target));
    root = juce::parseXML (getStateFile (pluginFile));
    ASSERT_NE (root, nullptr);
    EXPECT_EQ (childNames (*root).joinIntoString (","), "LastDir,Target,Logger");
    EXPECT_EQ (root->getChildElementAllSubText ("Target", {}), target.getFullPathName());

    tbLogger.initialise ("Tattlebox.so");
    File remembered;
    readStateFile (pluginFile, lastDirectory, &remembered);
    EXPECT_EQ (remembered, target);
    EXPECT_TRUE (tbLogger.rememberTarget);

    // On, but nothing loaded yet: no empty element.
    ASSERT_TRUE (writeStateFile (pluginFile, File ("/srv/audio"), File()));
    EXPECT_FALSE (getStateFile (pluginFile).loadFileAsString().contains ("<Target"));
}

TEST_F (StateFileTest, TargetIsReadLikeLastDir)
{
    File target ("/previous.so");
    auto readTarget = [&] (const String& content)
    {
        readStateDocument (document (content), lastDirectory, &target);
        return target.getFullPathName();
    };

    EXPECT_EQ (readTarget ("<TARGET>\n   /opt/vst/A.so  \n</TARGET>"), "/opt/vst/A.so");
    EXPECT_EQ (readTarget ("<Target/>"), "/opt/vst/A.so") << "empty: unchanged";
    EXPECT_EQ (readTarget ("<Target>relative/B.so</Target>"), "/opt/vst/A.so") << "not a full path";
    EXPECT_EQ (readTarget ("<Target>~/B.so</Target>"), "/opt/vst/A.so");
    EXPECT_EQ (readTarget ("<Target>/first.so</Target><Target>/second.so</Target>"), "/first.so");

    // A file of the older form, without either, changes nothing of it.
    EXPECT_EQ (readTarget ("<LastDir>/srv</LastDir><Logger><Parameters logTime=\"1\"/></Logger>"), "/first.so");
    EXPECT_FALSE (tbLogger.rememberTarget);

    // The reader without a place for the target (the older callers) ignores it.
    readStateDocument (document ("<Target>/third.so</Target>"), lastDirectory);
    EXPECT_EQ (target.getFullPathName(), "/first.so");
}

TEST_F (StateFileTest, NoFileOrAnOversizedOneKeepsTheDefaults)
{
    readStateFile (pluginFile, lastDirectory);
    EXPECT_EQ (flagsAndOptions(), defaults());
    EXPECT_EQ (lastDirectory, File ("/previous"));

    // Valid, but padded far beyond anything we write.
    const auto valid = document ("<Logger><Parameters logTime=\"1\"/></Logger>");
    ASSERT_TRUE (getStateFile (pluginFile).replaceWithText (valid + String::repeatedString (" ", 1 << 20)));
    readStateFile (pluginFile, lastDirectory);
    EXPECT_FALSE (tbLogger.logTime);

    ASSERT_TRUE (getStateFile (pluginFile).replaceWithText (valid));
    readStateFile (pluginFile, lastDirectory);
    EXPECT_TRUE (tbLogger.logTime);
}

//==============================================================================
TEST_F (StateFileTest, EnabledValuesFollowTheIntegerRule)
{
    struct Case { const char* attribute; bool before, after; };
    const Case cases[] = {
        { "enabled=\"2\"",            false, true  },
        { "enabled=\"abc\"",          true,  false },
        { "enabled=\"\"",             true,  false },
        { "enabled=\"-1\"",           false, false },
        { "enabled=\"-1\"",           true,  true  },
        { "",                         false, false },
        { "enabled=\" +7x\"",         false, true  },
        { "enabled=\"0x1\"",          true,  false },
        { "enabled=\"-0\"",           true,  false },
        { "enabled=\"- 1\"",          true,  false },
        { "enabled=\"4294967296\"",   false, true  }, // clamped: would wrap to 0
        { "enabled=\"-4294967296\"",  true,  true  }, // clamped: still negative
    };

    String groupContent;

    for (int index = 0; index < (int) std::size (cases); ++index)
    {
        TBLogger::setOpCodeEnabled (cases[index].before, groupDispatcher, index);
        groupContent << "<opCode index=\"" << index << "\" " << cases[index].attribute << "/>";
    }

    read (document ("<Logger><vstDispatcherOpCodes>" + groupContent + "</vstDispatcherOpCodes></Logger>"));

    for (int index = 0; index < (int) std::size (cases); ++index)
        EXPECT_EQ (TBLogger::isOpCodeEnabled (groupDispatcher, index), cases[index].after)
            << cases[index].attribute << " " << cases[index].before;
}

TEST_F (StateFileTest, OpCodesApplyByIndexInDocumentOrder)
{
    String manyOpCodes; // more than the group has

    for (int index = 0; index < 300; ++index)
        manyOpCodes << "<opCode index=\"" << index << "\" enabled=\"0\"/>";

    read (document ("<Logger>"
                      "<vstAEffectFunctions>"
                        "<opCode enabled=\"0\"/>"
                        "<opCode index=\"-1\" enabled=\"0\"/>"
                        "<opCode index=\"6\" enabled=\"0\"/>"
                        "<opCode index=\"4294967296\" enabled=\"0\"/>"
                        "<opCode index=\" 3abc\" enabled=\"0\"/>"
                        "\r\n  <!-- later wins -->\r\n"
                        "<opCode index=\"1\" enabled=\"0\"/><opCode index=\"1\" enabled=\"1\"/>"
                        "<opCode index=\"2\" enabled=\"1\"></opCode><opCode index=\"2\" enabled=\"0\">x</opCode>"
                        "<notAnOpCode index=\"4\" enabled=\"0\"/>"
                        "<opCode index=\"5\" INDEX=\"4\" enabled=\"0\" name=\"ignored\" extra=\"1\"/>"
                      "</vstAEffectFunctions>"
                      "<vstDispatcherOpCodes><opCode index=\"40\" enabled=\"0\"/></vstDispatcherOpCodes>"
                      "<vstAudioMasterOpCodes>" + manyOpCodes + "</vstAudioMasterOpCodes>"
                    "</Logger>"));

    const bool expected[] = { true, true, false, false, true, false };

    for (int index = 0; index < 6; ++index)
        EXPECT_EQ (TBLogger::isOpCodeEnabled (groupAEffectFunctions, index), expected[index]) << index;

    for (int index = 0; index < 77; ++index)
        EXPECT_EQ (TBLogger::isOpCodeEnabled (groupDispatcher, index), index != 40) << index;

    for (int index = 0; index < 50; ++index)
        EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupAudioMaster, index)) << index;
}

TEST_F (StateFileTest, NamesMatchWithoutRegardToCaseAndTheFirstWins)
{
    read (document ("<lastdir>/srv/first</lastdir><LastDir>/srv/second</LastDir>"
                    "<logger>"
                      "<VSTDISPATCHEROPCODES><OPCODE INDEX=\"8\" ENABLED=\"0\"/><OpCode Index=\"9\" Enabled=\"0\"/></VSTDISPATCHEROPCODES>"
                      "<vstDispatcherOpCodes><opCode index=\"10\" enabled=\"0\"/></vstDispatcherOpCodes>"
                      "<PARAMETERS LOGTIME=\"1\" logparameters=\"0\" LogParameters=\"1\"/>"
                    "</logger>"
                    "<Logger><vstAudioMasterOpCodes><opCode index=\"0\" enabled=\"0\"/></vstAudioMasterOpCodes></Logger>",
                    "SomeoneElsesRoot"));

    EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupDispatcher, 8));
    EXPECT_FALSE (TBLogger::isOpCodeEnabled (groupDispatcher, 9));
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupDispatcher, 10));
    EXPECT_TRUE (TBLogger::isOpCodeEnabled (groupAudioMaster, 0));
    EXPECT_TRUE (tbLogger.logTime);
    EXPECT_FALSE (tbLogger.logParameters);
    EXPECT_TRUE (tbLogger.logReturnParameters);
    EXPECT_EQ (lastDirectory, File ("/srv/first"));
}

TEST_F (StateFileTest, OptionsKeepTheirValueWhenMissingOrNegative)
{
    read (document ("<Logger><Parameters logParameters=\"-1\" logTime=\"5\"/></Logger>"));
    EXPECT_TRUE (tbLogger.logParameters);
    EXPECT_TRUE (tbLogger.logReturnParameters);
    EXPECT_TRUE (tbLogger.logTime);

    read (document ("<Logger><Parameters logParameters=\"0\" logReturnParameters=\"abc\"/></Logger>"));
    EXPECT_FALSE (tbLogger.logParameters);
    EXPECT_FALSE (tbLogger.logReturnParameters);
    EXPECT_TRUE (tbLogger.logTime);
}

TEST_F (StateFileTest, LastDirIsTakenOnlyWhenItHoldsAnAbsolutePath)
{
    struct Case { const char* content; const char* expected; };
    const Case cases[] = {
        { "\r\n    /srv/a b/  \r\n", "/srv/a b" },
        { "/srv/&#26085;&amp;&lt;", "/srv/\xe6\x97\xa5&<" },
        { "",                        "/previous" },
        { "  \r\n ",                 "/previous" },
        { "relative/folder",         "/previous" },
        { "~/Music",                 "/previous" },
        { "<sub/>/srv/x",            "/previous" },
    };

    for (auto& c : cases)
    {
        lastDirectory = File ("/previous");
        read (document (String ("<LastDir>") + c.content + "</LastDir>"));
        EXPECT_EQ (lastDirectory.getFullPathName(), String::fromUTF8 (c.expected)) << c.content;
    }

    read (document ("<LastDir/>"));
    EXPECT_EQ (lastDirectory, File ("/previous"));
}

TEST_F (StateFileTest, UnreadableDocumentsChangeNothing)
{
    // A complete file that changes everything, then every truncation of it.
    TBLogger::setAllOpCodesEnabled (false);
    tbLogger.logParameters = false;
    tbLogger.logTime = true;
    ASSERT_TRUE (writeStateFile (pluginFile, File ("/srv/changed")));
    const auto full = getStateFile (pluginFile).loadFileAsString();
    const auto rootEnd = full.indexOf ("</Tattlebox>");
    ASSERT_GT (rootEnd, 0);

    juce::StringArray broken { "", "not xml", "<Tattlebox><Logger>", "<Tattlebox", String::fromUTF8 ("\xef\xbb\xbf<Tattlebox/>x") };

    for (int length = 0; length < rootEnd; length += 7)
        broken.add (full.substring (0, length));

    const String changeAll ("<LastDir>/srv/changed</LastDir><Logger><Parameters logTime=\"1\"/></Logger>");
    const String deep = String::repeatedString ("<a>", 100000) + String::repeatedString ("</a>", 100000);
    broken.add (document (changeAll + deep));
    broken.add ("<!DOCTYPE Tattlebox [<!ENTITY e \"1\">]><Tattlebox>" + changeAll + "</Tattlebox>");
    broken.add (document (changeAll + "<x a=\"&unknown;\"/>"));
    broken.add (document (changeAll + "&#0;"));
    broken.add (document (changeAll + "&#x110000;"));
    broken.add (document (changeAll + "<?pi?>text")); // the parser would never return

    for (auto& text : broken)
    {
        tbLogger.initialise ("Tattlebox.so");
        lastDirectory = File ("/previous");
        read (text);
        EXPECT_EQ (flagsAndOptions(), defaults()) << text.substring (0, 200);
        EXPECT_EQ (lastDirectory, File ("/previous")) << text.substring (0, 200);
    }

    tbLogger.initialise ("Tattlebox.so");
    read (document (changeAll + String::repeatedString ("<a>", 20) + String::repeatedString ("</a>", 20)));
    EXPECT_TRUE (tbLogger.logTime) << "moderate nesting elsewhere is still read";
}

//==============================================================================
// Runs writeStateFile in a child that cannot write into the library's folder,
// and with no usable folder of its own to fall back on. Returns the lines the
// child logged; `succeeded` is writeStateFile's result.
std::string writeFromUnprivilegedChild (const File& pluginFile, bool& succeeded)
{
    const auto report = testsupport::runUnprivileged ([&]
    {
        ::setenv ("XDG_STATE_HOME", "/proc/no-state-here", 1);
        CapturedLines::take();
        std::string result = writeStateFile (pluginFile, File ("/srv/new")) ? "1" : "0";

        for (auto& line : CapturedLines::take())
            result += line + "\n";

        return result;
    });

    EXPECT_TRUE (report == "0" || report == "1" || report.size() > 1) << report;
    succeeded = report.rfind ("1", 0) == 0;
    return report.empty() ? report : report.substr (1);
}

TEST_F (StateFileTest, ReadOnlyFolderKeepsTheOldFileAndLogsTheFailure)
{
    const auto stateFile = getStateFile (pluginFile);
    ASSERT_TRUE (writeStateFile (pluginFile, File ("/srv/old")));
    juce::MemoryBlock before;
    ASSERT_TRUE (stateFile.loadFileAsData (before));

    TBLogger::setAllOpCodesEnabled (false); // a write that got through would show
    ASSERT_TRUE (testsupport::giveToUnprivileged (stateFile.getFullPathName().toRawUTF8())); // its own file
    ASSERT_EQ (::chmod (folder.getFullPathName().toRawUTF8(), 0555), 0);

    bool succeeded = true;
    const auto lines = writeFromUnprivilegedChild (pluginFile, succeeded);

    EXPECT_FALSE (succeeded);
    const auto threadEnd = lines.find (") ");   // the child's own thread identifier
    EXPECT_EQ (lines.substr (threadEnd == std::string::npos ? 0 : threadEnd + 2),
               failureLine (stateFile).substr (threadPrefix().size()) + "\n");

    juce::MemoryBlock after;
    ASSERT_TRUE (stateFile.loadFileAsData (after));
    EXPECT_TRUE (after == before);
    EXPECT_EQ (folder.getNumberOfChildFiles (File::findFilesAndDirectories), 1) << "no temporary file left";
}

TEST_F (StateFileTest, MissingFolderLogsTheFailure)
{
    const auto missing = folder.getChildFile ("missing");
    const auto stateFile = getStateFile (missing.getChildFile ("Tattlebox.so"));

    EXPECT_FALSE (writeStateFile (missing.getChildFile ("Tattlebox.so"), File ("/srv/new")));
    EXPECT_EQ (CapturedLines::take(), std::vector<std::string> { failureLine (stateFile) });
    EXPECT_FALSE (missing.exists());
}

TEST_F (StateFileTest, NoLibraryFileMeansNoStateFile)
{
    EXPECT_FALSE (writeStateFile (File(), File ("/srv/new")));
    EXPECT_EQ (CapturedLines::take(), std::vector<std::string> { failureLine (File()) });
    readStateFile (File(), lastDirectory);
    EXPECT_EQ (flagsAndOptions(), defaults());
}
} // namespace
