#include <CoreFoundation/CFBundleLinux.h>
#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <gtest/gtest.h>

#ifndef LIBRARY_RESOURCES
#error "LIBRARY_RESOURCES names the folder of the registered test bundle"
#endif

namespace
{

cf::Owned<> loadResource(CFBundleRef bundle, CFStringRef name, CFStringRef type)
{
    cf::Owned<CFURLRef> url(CFBundleCopyResourceURL(bundle, name, type, nullptr));
    CFDataRef data = nullptr;
    SInt32 error = -1;
    if (!url ||
        !CFURLCreateDataAndPropertiesFromResource(nullptr, url.get(), &data, nullptr, nullptr, &error))
        return cf::Owned<>();
    EXPECT_EQ(error, 0);
    cf::Owned<CFDataRef> bytes(data);
    return cf::Owned<>(
        CFPropertyListCreateFromXMLData(nullptr, bytes.get(), kCFPropertyListImmutable, nullptr));
}

CFTypeRef nameIn(const cf::Owned<>& list)
{
    return CFDictionaryGetValue(static_cast<CFDictionaryRef>(list.get()), CFSTR("Name"));
}

TEST(Bundle, TheMainBundleFindsTheResourcesBesideTheExecutable)
{
    CFBundleRef main = CFBundleGetMainBundle();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(CFGetTypeID(main), CFBundleGetTypeID());
    auto list = loadResource(main, CFSTR("Sample"), CFSTR("plist"));
    EXPECT_TRUE(CFEqual(nameIn(list), CFSTR("main bundle")));
    EXPECT_EQ(CFBundleCopyResourceURL(main, CFSTR("Sample"), CFSTR("xml"), nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(main, CFSTR("Library"), CFSTR("plist"), nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(main, CFSTR("../Resources/Sample"), CFSTR("plist"), nullptr), nullptr);
    EXPECT_EQ(CFBundleCopyResourceURL(main, nullptr, CFSTR("plist"), nullptr), nullptr);
}

TEST(Bundle, RegisteredBundlesAreFoundByIdentifierAndListedAfterTheMainOne)
{
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

    auto list = loadResource(library, CFSTR("Library"), CFSTR("plist"));
    EXPECT_TRUE(CFEqual(nameIn(list), CFSTR("library bundle")));
    cf::Owned<CFURLRef> untyped(CFBundleCopyResourceURL(library, CFSTR("README"), nullptr, nullptr));
    EXPECT_TRUE(untyped);
}

TEST(URL, ReadsAFilesBytesAndReportsAMissingOne)
{
    cf::Owned<CFURLRef> url(CFURLCreateWithFileSystemPath(nullptr, CFSTR(LIBRARY_RESOURCES "/README"),
                                                          kCFURLPOSIXPathStyle, false));
    CFDataRef data = nullptr;
    CFDictionaryRef properties = nullptr;
    SInt32 error = -1;
    ASSERT_TRUE(
        CFURLCreateDataAndPropertiesFromResource(nullptr, url.get(), &data, &properties, nullptr, &error));
    cf::Owned<CFDataRef> bytes(data);
    cf::Owned<CFDictionaryRef> owned(properties);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), CFDataGetLength(data)),
              "plain\n");

    cf::Owned<CFURLRef> missing(
        CFURLCreateWithFileSystemPath(nullptr, CFSTR("/no/such/file"), kCFURLPOSIXPathStyle, false));
    EXPECT_FALSE(
        CFURLCreateDataAndPropertiesFromResource(nullptr, missing.get(), &data, nullptr, nullptr, &error));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(error, kCFURLResourceNotFoundError);

    cf::Owned<CFStringRef> path(CFURLCopyFileSystemPath(missing.get(), kCFURLPOSIXPathStyle));
    EXPECT_TRUE(CFEqual(path.get(), CFSTR("/no/such/file")));
    UInt8 small[8];
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(missing.get(), true, small, sizeof small));
}

} // namespace
