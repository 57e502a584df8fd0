// CFPreferences: each application's values live in memory, loaded from its property-list file on
// first use; changes are kept apart until a synchronize merges them into the file, at the latest
// when the process exits normally.
#include "LocaleIdentifiers.h"
#include "PropertyLists.h"
#include "Strings.h"
#include "native/FileAccess.h"
#include "native/Paths.h"

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFPreferences.h>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>

const CFStringRef kCFPreferencesCurrentApplication = CFSTR("kCFPreferencesCurrentApplication");

namespace cf
{
namespace
{

using Dictionary = Owned<CFMutableDictionaryRef>;

Dictionary emptyDictionary()
{
    return Dictionary(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                &kCFTypeDictionaryValueCallBacks));
}

std::string currentApplicationID()
{
    const std::string path = os::executablePath();
    return path.substr(path.rfind('/') + 1);
}

// The application id as a file name; empty when it cannot be one.
std::string applicationID(CFStringRef id)
{
    if (CFEqual(id, kCFPreferencesCurrentApplication))
        return currentApplicationID();
    const std::string name(textOf(id));
    if (name == "." || name == ".." || name.find('/') != std::string::npos)
        return {};
    return name;
}

std::string preferencesPath(const std::string& id)
{
    const std::string folder = os::userConfigFolder();
    return folder.empty() ? std::string() : folder + "/" + id + ".plist";
}

// The file's dictionary, empty when there is no file; nothing when the file is unreadable, malformed
// or not a dictionary, as such a file must not be written over.
std::optional<Dictionary> readPreferences(const std::string& path)
{
    const auto bytes = os::readWholeFile(path);
    if (!bytes)
        return os::isMissing(path) ? std::optional<Dictionary>(emptyDictionary()) : std::nullopt;
    Owned<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes->data()),
                                       static_cast<CFIndex>(bytes->size())));
    Owned<> list(CFPropertyListCreateFromXMLData(nullptr, data.get(), kCFPropertyListImmutable, nullptr));
    if (CFGetTypeID(list.get()) != CFDictionaryGetTypeID())
        return std::nullopt;
    return Dictionary(CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(list.get())));
}

bool writePreferences(const std::string& path, CFDictionaryRef values)
{
    Owned<CFDataRef> data(CFPropertyListCreateXMLData(nullptr, values));
    if (!data)
        return false;
    return os::replaceFileAtomically(path,
                                     std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data.get())),
                                                 CFDataGetLength(data.get())));
}

// The system's locale aliases; none when its table is missing, unreadable or unreasonably large.
locale::Aliases systemLocaleAliases()
{
    constexpr size_t largestTable = 1 << 20;
    return locale::parseAliases(os::readWholeFile(os::localeAliasTable(), largestTable).value_or(""));
}

// The languages of the locale settings, as the array "AppleLanguages" holds them.
CFArrayRef copyEnvironmentLanguages()
{
    CFMutableArrayRef languages = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (const std::string& tag : locale::preferredLanguages(
             [](const char* name) { return std::getenv(name); }, systemLocaleAliases()))
    {
        Owned<CFStringRef> string(makeString(tag));
        CFArrayAppendValue(languages, string.get());
    }
    return languages;
}

class Domain
{
public:
    explicit Domain(std::string path)
        : m_path(std::move(path)), m_values(readPreferences(m_path).value_or(emptyDictionary()))
    {
    }

    CFTypeRef copy(CFStringRef key) const { return CFRetain(CFDictionaryGetValue(m_values.get(), key)); }

    void set(CFStringRef key, CFTypeRef value)
    {
        std::string name(textOf(key));
        m_changes.erase(name);
        m_changes.emplace(
            name, std::pair<Owned<CFStringRef>, Owned<>>(Owned<CFStringRef>(CFStringCreateCopy(nullptr, key)),
                                                         Owned<>(CFRetain(value))));
        apply(m_values.get(), key, value);
    }

    bool hasChanges() const { return !m_changes.empty(); }

    // Rereads the file and writes the changes into it; a file that cannot be read is left alone.
    bool synchronize()
    {
        if (m_changes.empty())
            return reread();
        if (m_path.empty())
            return false;
        // Another process must not write between the read and the write, or its values are lost.
        const os::FolderLock lock(m_path);
        const std::optional<Dictionary> onDisk = readPreferences(m_path);
        if (!onDisk)
            return false;
        Dictionary merged(CFDictionaryCreateMutableCopy(nullptr, 0, onDisk->get()));
        for (const auto& [name, change] : m_changes)
            apply(merged.get(), change.first.get(), change.second.get());
        if (!CFEqual(merged.get(), onDisk->get()) && !writePreferences(m_path, merged.get()))
            return false;
        m_changes.clear();
        m_values = std::move(merged);
        return true;
    }

private:
    bool reread()
    {
        std::optional<Dictionary> onDisk = readPreferences(m_path);
        if (!onDisk)
            return false;
        m_values = std::move(*onDisk);
        return true;
    }

    static void apply(CFMutableDictionaryRef values, CFStringRef key, CFTypeRef value)
    {
        if (value != nullptr)
            CFDictionarySetValue(values, key, value);
        else
            CFDictionaryRemoveValue(values, key);
    }

    const std::string m_path;
    Dictionary m_values;
    // Set since the last synchronize, by key name; a null value removes the key.
    std::map<std::string, std::pair<Owned<CFStringRef>, Owned<>>> m_changes;
};

struct Domains
{
    std::mutex lock;
    std::map<std::string, Domain> byID;

    Domain& find(const std::string& id)
    {
        auto found = byID.find(id);
        if (found == byID.end())
            found = byID.emplace(id, Domain(preferencesPath(id))).first;
        return found->second;
    }

    void synchronizeChanged()
    {
        std::lock_guard<std::mutex> guard(lock);
        for (auto& [id, domain] : byID)
            if (domain.hasChanges())
                domain.synchronize();
    }
};

Domains& domains()
{
    // Used until the process ends, when what is still pending is written.
    static Domains* const instance = []
    {
        std::atexit([] { domains().synchronizeChanged(); });
        return new Domains;
    }();
    return *instance;
}

} // namespace
} // namespace cf

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID)
{
    const std::string id = cf::applicationID(applicationID);
    if (id.empty() || cf::as<cf::String>(key) == nullptr)
        return nullptr;
    cf::Domains& domains = cf::domains();
    std::lock_guard<std::mutex> guard(domains.lock);
    CFTypeRef value = domains.find(id).copy(key);
    if (value == nullptr && CFEqual(key, CFSTR("AppleLanguages")) && id == cf::currentApplicationID())
        value = cf::copyEnvironmentLanguages();
    return value;
}

void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID)
{
    const std::string id = cf::applicationID(applicationID);
    if (id.empty() || cf::as<cf::String>(key) == nullptr || (value != nullptr && !cf::isPropertyList(value)))
        return;
    cf::Domains& domains = cf::domains();
    std::lock_guard<std::mutex> guard(domains.lock);
    domains.find(id).set(key, value);
}

Boolean CFPreferencesAppSynchronize(CFStringRef applicationID)
{
    const std::string id = cf::applicationID(applicationID);
    if (id.empty())
        return false;
    cf::Domains& domains = cf::domains();
    std::lock_guard<std::mutex> guard(domains.lock);
    return domains.find(id).synchronize();
}
