// CFURL: file URLs, kept as absolute POSIX paths.
#include "Kinds.h"
#include "Strings.h"
#include "URLs.h"
#include "native/FileAccess.h"

#include <CoreFoundation/CFURL.h>
#include <cerrno>
#include <cstring>
#include <functional>
#include <unistd.h>
#include <vector>

namespace cf
{
namespace
{

class URL final : public Object
{
public:
    static CFTypeID staticTypeID() { return kURLType; }
    URL(std::string path, bool isDirectory)
        : Object(staticTypeID()), m_path(std::move(path)), m_directory(isDirectory)
    {
    }

    const std::string& path() const { return m_path; }

    bool equals(const Object& other) const override
    {
        const auto& theirs = static_cast<const URL&>(other);
        return m_path == theirs.m_path && m_directory == theirs.m_directory;
    }
    CFHashCode hash() const override { return std::hash<std::string>()(m_path); }
    std::string describe() const override { return "file://" + m_path + (m_directory ? "/" : ""); }

private:
    const std::string m_path;
    const bool m_directory;
};

std::string currentFolder()
{
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr)
    {
        if (errno != ERANGE)
            return "/";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// An absolute path without a trailing slash (but "/" stays).
std::string absolutePath(std::string path)
{
    if (path[0] != '/')
        path = currentFolder() + "/" + path;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

CFURLRef makeURL(std::string path, bool isDirectory)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return nullptr;
    return toRef<CFURLRef>(new URL(absolutePath(std::move(path)), isDirectory));
}

} // namespace

CFURLRef makeFileURL(const std::string& path)
{
    return makeURL(path, false);
}

} // namespace cf

using cf::URL;

CFTypeID CFURLGetTypeID(void)
{
    return cf::kURLType;
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef path, CFURLPathStyle style,
                                       Boolean isDirectory)
{
    if (style != kCFURLPOSIXPathStyle || cf::as<cf::String>(path) == nullptr)
        return nullptr;
    return cf::makeURL(std::string(cf::textOf(path)), isDirectory);
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* path, CFIndex length,
                                                 Boolean isDirectory)
{
    if (path == nullptr || length <= 0)
        return nullptr;
    return cf::makeURL(std::string(reinterpret_cast<const char*>(path), length), isDirectory);
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle style)
{
    const URL* object = cf::as<URL>(url);
    return object != nullptr && style == kCFURLPOSIXPathStyle ? cf::makeString(object->path()) : nullptr;
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxLength)
{
    const URL* object = cf::as<URL>(url);
    if (object == nullptr || buffer == nullptr || maxLength <= 0 ||
        object->path().size() + 1 > static_cast<size_t>(maxLength))
        return false;
    std::memcpy(buffer, object->path().c_str(), object->path().size() + 1);
    return true;
}

Boolean CFURLCreateDataAndPropertiesFromResource(CFAllocatorRef, CFURLRef url, CFDataRef* resourceData,
                                                 CFDictionaryRef* properties, CFArrayRef, SInt32* errorCode)
{
    auto finish = [&](SInt32 code)
    {
        if (errorCode != nullptr)
            *errorCode = code;
        return code == 0;
    };
    if (resourceData != nullptr)
        *resourceData = nullptr;
    if (properties != nullptr)
        *properties = nullptr;
    const URL* object = cf::as<URL>(url);
    if (object == nullptr)
        return finish(kCFURLImproperArgumentsError);
    if (resourceData != nullptr)
    {
        const auto bytes = cf::os::readWholeFile(object->path());
        if (!bytes)
            return finish(kCFURLResourceNotFoundError);
        *resourceData = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes->data()),
                                     static_cast<CFIndex>(bytes->size()));
    }
    if (properties != nullptr)
        *properties = CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                         &kCFTypeDictionaryValueCallBacks);
    return finish(0);
}
