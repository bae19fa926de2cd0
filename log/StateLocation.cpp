// One rule decides both reading and writing, so a library always finds the
// file it wrote last: a system-wide library never reads a file beside it that
// it could not replace, and a user's own copy never looks elsewhere.
#include "StateLocation.h"

#if ! defined (_WIN32)
 #include <cerrno>
 #include <sys/stat.h>
 #include <unistd.h>
#endif

namespace
{
#if ! defined (_WIN32)
// Every missing level is made private to the user, as the XDG base directory
// rules ask of a state folder.
bool createPrivateFolder (const juce::File& folder)
{
    if (folder.isDirectory())
        return true;

    if (folder == juce::File() || folder.getParentDirectory() == folder
          || ! createPrivateFolder (folder.getParentDirectory()))
        return false;

    return ::mkdir (folder.getFullPathName().toRawUTF8(), 0700) == 0 || errno == EEXIST;
}

// access() asks as the real user and knows read-only mounts; root may write
// into any folder on a writable mount.
bool mayWriteInto (const juce::File& folder)
{
    return ::access (folder.getFullPathName().toRawUTF8(), W_OK) == 0;
}

// What keeps the fallback folder from being trusted, or nullptr; a link to
// a folder is judged by that folder.
const char* folderRefusal (const juce::File& folder)
{
    struct stat info {};

    if (::stat (folder.getFullPathName().toRawUTF8(), &info) != 0 || ! S_ISDIR (info.st_mode))
        return ": not a folder";

    if (info.st_uid != ::geteuid())
        return ": owned by another user";

    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return ": writable by others";

    return nullptr;
}
#endif
} // namespace

// [any thread]
juce::File locateStateFile (const juce::File& pluginFile, [[maybe_unused]] juce::String* refusal)
{
    const auto besideLibrary = pluginFile.withFileExtension ("xml");

   #if defined (_WIN32)
    return besideLibrary;
   #else
    const auto libraryFolder = pluginFile.getParentDirectory();

    // A missing folder keeps its failure where the user would look for it.
    if (pluginFile == juce::File() || ! libraryFolder.isDirectory() || mayWriteInto (libraryFolder))
        return besideLibrary;

    const auto userStateFolder = getUserStateFolder();

    if (userStateFolder == juce::File())
        return besideLibrary;

    // A fallback that cannot be written into either is no better: the failure
    // then names the library's own folder, and a file there is still read.
    const auto folder = userStateFolder.getChildFile ("tattlebox");

    if (! createPrivateFolder (folder) || ! mayWriteInto (folder))
        return besideLibrary;

    if (const auto* reason = folderRefusal (folder))
    {
        if (refusal != nullptr)
            *refusal = "Refused state folder " + folder.getFullPathName() + reason;

        return {};
    }

    return folder.getChildFile (besideLibrary.getFileName());
   #endif
}

// [any thread]
juce::File getUserStateFolder()
{
    // Relative values are to be ignored, not resolved against the host's folder.
    const auto xdgStateHome = juce::SystemStats::getEnvironmentVariable ("XDG_STATE_HOME", {});

    if (juce::File::isAbsolutePath (xdgStateHome) && ! xdgStateHome.startsWithChar ('~'))
        return juce::File (xdgStateHome);

    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);

    if (home == juce::File())
        return {};

    return home.getChildFile (".local/state");
}
