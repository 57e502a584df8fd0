#include "SpecialLocation.h"

#include <dlfcn.h>

namespace
{
juce::String nameOfModuleHolding(void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return {};
    return juce::String::fromUTF8(info.dli_fname);
}

juce::File cacheFolder()
{
#if JUCE_MAC
    return juce::File("~/Library/Caches");
#else
    // A relative XDG_CACHE_HOME is invalid and must be ignored.
    const auto xdg = juce::SystemStats::getEnvironmentVariable("XDG_CACHE_HOME", {});
    return juce::File::isAbsolutePath(xdg) ? juce::File(xdg) : juce::File("~/.cache");
#endif
}

juce::File temporaryDirectory()
{
    auto directory = cacheFolder().getChildFile(getExecutableFile().getFileNameWithoutExtension());
    directory.createDirectory();
    return directory;
}

juce::File applicationFile()
{
    const auto executable = getExecutableFile();
    if (executable.getParentDirectory().getFullPathName().endsWithIgnoreCase("Contents/MacOS"))
        return executable.getParentDirectory().getParentDirectory().getParentDirectory();
    return executable;
}
} // namespace

juce::File getExecutableFile()
{
    const auto reported = nameOfModuleHolding(reinterpret_cast<void*>(&getExecutableFile));
    const bool absolute = juce::File::isAbsolutePath(reported);
    if (absolute && !juce::File(reported).isSymbolicLink())
        return juce::File(reported);

    // For the main program the C library reports the name it was started by, which may be
    // relative, a bare name found on the PATH, or a link: the kernel knows the real file.
    const juce::File self("/proc/self/exe");
    if (self.isSymbolicLink())
        return self.getLinkedTarget();
    return absolute ? juce::File(reported) : juce::File::getCurrentWorkingDirectory().getChildFile(reported);
}

juce::File getSpecialLocation(juce::File::SpecialLocationType type)
{
    switch (type)
    {
    case juce::File::tempDirectory:
        return temporaryDirectory();
    case juce::File::currentExecutableFile:
        return getExecutableFile();
    case juce::File::currentApplicationFile:
        return applicationFile();
    default:
        return juce::File::getSpecialLocation(type);
    }
}
