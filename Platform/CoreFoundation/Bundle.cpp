// CFBundle: a folder of resource files. The main bundle's folder is "Resources" beside the
// executable; other bundles are registered under an identifier.
#include "Kinds.h"
#include "Strings.h"
#include "URLs.h"
#include "native/Paths.h"

#include <CoreFoundation/CFBundleLinux.h>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace cf
{
namespace
{

class Bundle final : public Object
{
public:
    static CFTypeID staticTypeID() { return kBundleType; }
    Bundle(CFStringRef identifier, std::string folder)
        : Object(staticTypeID()),
          m_identifier(identifier != nullptr ? CFStringCreateCopy(nullptr, identifier) : nullptr),
          m_folder(std::move(folder))
    {
    }

    CFStringRef identifier() const { return m_identifier.get(); }
    const std::string& folder() const { return m_folder; }
    std::string describe() const override { return "<CFBundle " + m_folder + ">"; }

private:
    const Owned<CFStringRef> m_identifier;
    const std::string m_folder;
};

std::string folderOfExecutable()
{
    const std::string path = os::executablePath();
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The bundles, kept until the process ends; the main one first when there is one.
struct Bundles
{
    std::mutex lock;
    Owned<CFMutableArrayRef> all{CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks)};
    Bundle* main = nullptr;

    Bundles()
    {
        const std::string folder = folderOfExecutable();
        if (folder.empty())
            return;
        main = new Bundle(nullptr, folder + "/Resources");
        CFArrayAppendValue(all.get(), toRef(main));
        main->release();
    }

    Bundle* find(CFStringRef identifier)
    {
        for (CFIndex i = 0; i < CFArrayGetCount(all.get()); ++i)
        {
            auto* bundle = as<Bundle>(CFArrayGetValueAtIndex(all.get(), i));
            if (bundle->identifier() != nullptr && CFEqual(bundle->identifier(), identifier))
                return bundle;
        }
        return nullptr;
    }
};

Bundles& bundles()
{
    static Bundles* const instance = new Bundles;
    return *instance;
}

// A resource name is one file name: no folders, no way up.
bool isFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

bool isRegularFile(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace
} // namespace cf

using cf::Bundle;

CFTypeID CFBundleGetTypeID(void)
{
    return cf::kBundleType;
}

CFBundleRef CFBundleGetMainBundle(void)
{
    return cf::toRef<CFBundleRef>(cf::bundles().main);
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef identifier)
{
    if (cf::as<cf::String>(identifier) == nullptr)
        return nullptr;
    cf::Bundles& bundles = cf::bundles();
    std::lock_guard<std::mutex> guard(bundles.lock);
    return cf::toRef<CFBundleRef>(bundles.find(identifier));
}

CFArrayRef CFBundleGetAllBundles(void)
{
    // Registration appends to this array: bundles are registered at start-up, before anyone walks it.
    return cf::bundles().all.get();
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle)
{
    const Bundle* object = cf::as<Bundle>(bundle);
    return object != nullptr ? object->identifier() : nullptr;
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName)
{
    const Bundle* object = cf::as<Bundle>(bundle);
    std::string name(cf::textOf(resourceName));
    const std::string_view type = cf::textOf(resourceType);
    const std::string_view folder = cf::textOf(subDirName);
    if (object == nullptr || !cf::isFileName(name) || (!folder.empty() && !cf::isFileName(folder)))
        return nullptr;
    if (!type.empty())
        name.append(1, '.').append(type);
    const std::string path =
        object->folder() + "/" + (folder.empty() ? "" : std::string(folder) + "/") + name;
    return cf::isRegularFile(path) ? cf::makeFileURL(path) : nullptr;
}

CFBundleRef CFBundleRegisterWithIdentifier(CFStringRef identifier, const char* resourcesFolder)
{
    if (cf::as<cf::String>(identifier) == nullptr || resourcesFolder == nullptr || resourcesFolder[0] == '\0')
        return nullptr;
    cf::Bundles& bundles = cf::bundles();
    std::lock_guard<std::mutex> guard(bundles.lock);
    if (Bundle* existing = bundles.find(identifier))
        return existing->folder() == resourcesFolder ? cf::toRef<CFBundleRef>(existing) : nullptr;
    auto* bundle = new Bundle(identifier, resourcesFolder);
    CFArrayAppendValue(bundles.all.get(), cf::toRef(bundle));
    bundle->release();
    return cf::toRef<CFBundleRef>(bundle);
}
