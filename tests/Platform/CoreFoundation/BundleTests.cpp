#include "CFTestHelpers.h"
#include "FreshProcess.h"

#include <CoreFoundation/CFBundleLinux.h>

#ifndef LIBRARY_RESOURCES
#error "LIBRARY_RESOURCES names the folder of the registered test bundle"
#endif

namespace
{

// The bytes of the file a URL names; "<error N>" when it cannot be read.
std::string bytesAt(CFURLRef url)
{
    CFDataRef data = nullptr;
    SInt32 error = -1;
    const bool read = CFURLCreateDataAndPropertiesFromResource(nullptr, url, &data, nullptr, nullptr, &error);
    cf::Owned<CFDataRef> bytes(data);
    return read && error == 0
               ? std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), CFDataGetLength(data))
               : "<error " + std::to_string(error) + ">";
}

// The bytes of a bundle's resource; "<none>" when it has no such resource.
std::string resource(CFBundleRef bundle, CFStringRef name, CFStringRef type)
{
    cf::Owned<CFURLRef> url(CFBundleCopyResourceURL(bundle, name, type, nullptr));
    return url ? bytesAt(url.get()) : "<none>";
}

TEST(Bundle, TheMainBundleFindsTheResourcesBesideTheExecutable)
{
    CFBundleRef main = CFBundleGetMainBundle();
    ASSERT_NE(main, nullptr);
    EXPECT_NE(resource(main, CFSTR("Sample"), CFSTR("plist")).find("main bundle"), std::string::npos);
    EXPECT_EQ(resource(main, CFSTR("Sample"), CFSTR("xml")), "<none>");
    EXPECT_EQ(resource(main, CFSTR("Library"), CFSTR("plist")), "<none>");
    EXPECT_EQ(resource(main, CFSTR("../Resources/Sample"), CFSTR("plist")), "<none>");
    EXPECT_EQ(resource(main, nullptr, CFSTR("plist")), "<none>");
}

TEST(Bundle, RegisteredBundlesAreFoundByIdentifierAndListedAfterTheMainOne)
{
    // A bundle stays registered as long as the process.
    if (testsupport::handedToAFreshProcess())
        return;
    CFStringRef identifier = CFSTR("org.test.library");
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(identifier), nullptr);
    CFBundleRef library = CFBundleRegisterWithIdentifier(identifier, LIBRARY_RESOURCES);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(identifier), library);
    EXPECT_TRUE(CFEqual(CFBundleGetIdentifier(library), identifier));
    EXPECT_EQ(CFBundleRegisterWithIdentifier(identifier, LIBRARY_RESOURCES), library);
    EXPECT_EQ(CFBundleRegisterWithIdentifier(identifier, "/elsewhere"), nullptr);
    EXPECT_EQ(CFBundleRegisterWithIdentifier(nullptr, LIBRARY_RESOURCES), nullptr);
    CFArrayRef all = CFBundleGetAllBundles();
    ASSERT_EQ(CFArrayGetCount(all), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(all, 0), CFBundleGetMainBundle());
    EXPECT_EQ(CFArrayGetValueAtIndex(all, 1), library);
    EXPECT_NE(resource(library, CFSTR("Library"), CFSTR("plist")).find("library bundle"), std::string::npos);
    EXPECT_EQ(resource(library, CFSTR("README"), nullptr), "plain\n");
}

TEST(URL, ReportsAMissingFileAndKeepsItsPath)
{
    cf::Owned<CFURLRef> missing(
        CFURLCreateWithFileSystemPath(nullptr, CFSTR("/no/such/file"), kCFURLPOSIXPathStyle, false));
    EXPECT_EQ(bytesAt(missing.get()), "<error " + std::to_string(kCFURLResourceNotFoundError) + ">");
    EXPECT_EQ(cftest::text(
                  cf::Owned<CFStringRef>(CFURLCopyFileSystemPath(missing.get(), kCFURLPOSIXPathStyle)).get()),
              "/no/such/file");
    UInt8 small[8];
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(missing.get(), true, small, sizeof small));
}

} // namespace
