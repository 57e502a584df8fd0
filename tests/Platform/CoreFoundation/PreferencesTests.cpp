#include <CoreFoundation/CFObject.h>
#include <CoreFoundation/CoreFoundation.h>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

class Preferences : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/cf_preferences_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1);
        // Every test uses application ids of its own: the layer keeps what it loaded per id.
        m_id = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override
    {
        chmod(m_folder.c_str(), 0700);
        // Nothing may stay pending, or the end of the process writes it into the removed folder.
        for (const auto& id : m_ids)
            CFPreferencesAppSynchronize(id.get());
        for (const std::string& name : files())
            unlink((m_folder + "/" + name).c_str());
        rmdir(m_folder.c_str());
    }

    CFStringRef id(const char* suffix = "")
    {
        m_ids.emplace_back(
            CFStringCreateWithCString(nullptr, ("org.test." + m_id + suffix).c_str(), kCFStringEncodingUTF8));
        return m_ids.back().get();
    }
    std::string path(const char* suffix = "") const
    {
        return m_folder + "/org.test." + m_id + suffix + ".plist";
    }
    std::vector<std::string> files() const
    {
        std::vector<std::string> names;
        if (DIR* folder = opendir(m_folder.c_str()))
        {
            while (dirent* entry = readdir(folder))
                if (entry->d_name[0] != '.')
                    names.push_back(entry->d_name);
            closedir(folder);
        }
        return names;
    }
    static std::string contents(const std::string& file)
    {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void write(const std::string& file, const std::string& text) { std::ofstream(file) << text; }
    // What a fresh process reads from the file.
    static cf::Owned<> stored(const std::string& file)
    {
        const std::string text = contents(file);
        cf::Owned<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(text.data()),
                                               static_cast<CFIndex>(text.size())));
        return cf::Owned<>(
            CFPropertyListCreateFromXMLData(nullptr, data.get(), kCFPropertyListImmutable, nullptr));
    }

    std::string m_folder;
    std::string m_id;
    std::vector<cf::Owned<CFStringRef>> m_ids;
};

cf::Owned<> copy(const char* key, CFStringRef id)
{
    cf::Owned<CFStringRef> name(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
    return cf::Owned<>(CFPreferencesCopyAppValue(name.get(), id));
}

cf::Owned<> text(std::string_view bytes)
{
    return cf::Owned<>(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8*>(bytes.data()),
                                               static_cast<CFIndex>(bytes.size()), kCFStringEncodingUTF8,
                                               false));
}

// What each child of ChangesReachTheDiskWhenTheProcessEnds sets: characters XML changes unless escaped.
cf::Owned<> childValue(const std::string& key)
{
    return text(key + " \r\n\t<&>");
}

// Run only as a child process: sets a value and ends without synchronizing.
TEST(PreferencesChild, DISABLED_SetsAValueAndEnds)
{
    if (std::getenv("CHILD_KEY") == nullptr)
        GTEST_SKIP();
    cf::Owned<> id = text(std::getenv("CHILD_APPLICATION")), key = text(std::getenv("CHILD_KEY"));
    CFPreferencesSetAppValue(static_cast<CFStringRef>(key.get()), childValue(std::getenv("CHILD_KEY")).get(),
                             static_cast<CFStringRef>(id.get()));
}

pid_t startChild(const std::string& application, const std::string& key)
{
    const pid_t child = fork();
    if (child == 0)
    {
        setenv("CHILD_APPLICATION", application.c_str(), 1);
        setenv("CHILD_KEY", key.c_str(), 1);
        freopen("/dev/null", "w", stdout);
        execl("/proc/self/exe", "child", "--gtest_filter=PreferencesChild.*",
              "--gtest_also_run_disabled_tests", nullptr);
        _exit(127);
    }
    return child;
}

TEST_F(Preferences, ChangesReachTheDiskWhenTheProcessEnds)
{
    // Processes ending together each keep the others' values.
    std::vector<pid_t> children;
    for (int i = 0; i < 8; ++i)
        children.push_back(startChild("org.test." + m_id, "Key" + std::to_string(i)));
    for (pid_t child : children)
    {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int i = 0; i < 8; ++i)
    {
        const std::string key = "Key" + std::to_string(i);
        EXPECT_TRUE(CFEqual(copy(key.c_str(), id()).get(), childValue(key).get())) << key;
    }
}

TEST_F(Preferences, SetValuesAreSeenAtOnceButWrittenOnlyBySynchronize)
{
    CFPreferencesSetAppValue(CFSTR("Absent"), nullptr, id());
    EXPECT_TRUE(CFPreferencesAppSynchronize(id())); // changes nothing, so writes nothing
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("value"), id());
    EXPECT_TRUE(CFEqual(copy("Key", id()).get(), CFSTR("value")));
    EXPECT_TRUE(files().empty());
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_NE(contents(path()).find("<string>value</string>"), std::string::npos);

    CFPreferencesSetAppValue(CFSTR("Key"), nullptr, id());
    EXPECT_FALSE(copy("Key", id()));
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_EQ(contents(path()).find("Key"), std::string::npos);
}

TEST_F(Preferences, SynchronizeMergesIntoWhatAnotherProcessWrote)
{
    CFPreferencesSetAppValue(CFSTR("Mine"), CFSTR("1"), id());
    // Every kind of value another writer may have stored.
    write(path(),
          "<plist version=\"1.0\"><dict><key>Theirs</key><array><date>2024-02-29T23:59:59Z</date>"
          "<data>AAEC/w==</data><real>0.5</real><integer>-7</integer><true/><false/><string>s</string>"
          "<dict><key>k</key><string>v</string></dict></array></dict></plist>");
    cf::Owned<> theirs = stored(path());
    ASSERT_TRUE(theirs);
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_TRUE(CFEqual(copy("Mine", id()).get(), CFSTR("1")));
    cf::Owned<> merged = stored(path());
    EXPECT_TRUE(CFEqual(CFDictionaryGetValue(static_cast<CFDictionaryRef>(merged.get()), CFSTR("Theirs")),
                        CFDictionaryGetValue(static_cast<CFDictionaryRef>(theirs.get()), CFSTR("Theirs"))));
    EXPECT_NE(contents(path()).find("<date>2024-02-29T23:59:59Z</date>"), std::string::npos);
}

TEST_F(Preferences, SynchronizeLeavesAFileItCannotReadAsItWas)
{
    const std::string unusable[] = {
        "<plist><dict><key>unfinished",
        "<plist><dict><key>Other</key><uid>7</uid></dict></plist>", // a kind of value the reader lacks
        "<plist><array><string>not a dictionary</string></array></plist>",
    };
    CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanTrue, id());
    for (const std::string& document : unusable)
    {
        write(path(), document);
        EXPECT_FALSE(CFPreferencesAppSynchronize(id())) << document;
        EXPECT_EQ(contents(path()), document);
    }
    unlink(path().c_str());
    ASSERT_EQ(symlink(path().c_str(), path().c_str()), 0); // a loop: unreadable even for root
    EXPECT_FALSE(CFPreferencesAppSynchronize(id()));
    char target[PATH_MAX] = {};
    EXPECT_EQ(readlink(path().c_str(), target, sizeof target - 1), static_cast<ssize_t>(path().size()));
    unlink(path().c_str());
    EXPECT_TRUE(CFPreferencesAppSynchronize(id())); // the change waited
    EXPECT_EQ(CFDictionaryGetValue(static_cast<CFDictionaryRef>(stored(path()).get()), CFSTR("Key")),
              kCFBooleanTrue);
}

TEST_F(Preferences, AFailedWriteKeepsTheOldFileAndTheChanges)
{
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("old"), id());
    ASSERT_TRUE(CFPreferencesAppSynchronize(id()));
    const std::string before = contents(path());
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    chmod(m_folder.c_str(), 0500);
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("new"), id());
    EXPECT_FALSE(CFPreferencesAppSynchronize(id()));
    EXPECT_EQ(contents(path()), before);
    EXPECT_EQ(files().size(), 1u); // no temporary file left behind
    chmod(m_folder.c_str(), 0700);
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_NE(contents(path()).find("<string>new</string>"), std::string::npos);
}

TEST_F(Preferences, AnInterruptedWriteLeavesTheSynchronizedFileWhole)
{
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("kept"), id());
    ASSERT_TRUE(CFPreferencesAppSynchronize(id()));
    // What a crash in the middle of the next write leaves: a partial temporary file beside it.
    write(path() + ".a1b2c3", "<plist><dict><key>Key</key><str");
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_TRUE(CFEqual(copy("Key", id()).get(), CFSTR("kept")));
}

cf::Owned<> arrayOf(CFTypeRef item)
{
    return cf::Owned<>(CFArrayCreate(nullptr, &item, 1, &kCFTypeArrayCallBacks));
}

cf::Owned<> dictionaryOf(CFTypeRef key, CFTypeRef value)
{
    return cf::Owned<>(CFDictionaryCreate(nullptr, &key, &value, 1, &kCFTypeDictionaryKeyCallBacks,
                                          &kCFTypeDictionaryValueCallBacks));
}

TEST_F(Preferences, RefusesAtTheSetWhatWouldNotReadBackAndBadIds)
{
    const cf::Owned<> control = text("a\x01z");
    const int one = 1;
    const cf::Owned<> number(CFNumberCreate(nullptr, kCFNumberIntType, &one));
    const cf::Owned<> unwritable[] = {
        text("a\x01z"),
        text(std::string_view("a\0z", 3)),
        text("\xEF\xBF\xBE"), // U+FFFE
        arrayOf(control.get()),
        dictionaryOf(control.get(), CFSTR("v")),
        dictionaryOf(CFSTR("k"), arrayOf(control.get()).get()),
        dictionaryOf(number.get(), CFSTR("v")),
        cf::Owned<>(CFDateCreate(nullptr, 0.5)),
        cf::Owned<>(CFDateCreate(nullptr, 1e12)), // past the year 9999
        cf::Owned<>(CFRetain(CFRunLoopGetMain())),
    };
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("kept"), id());
    for (size_t i = 0; i < std::size(unwritable); ++i)
    {
        CFPreferencesSetAppValue(CFSTR("Key"), unwritable[i].get(), id());
        EXPECT_TRUE(CFEqual(copy("Key", id()).get(), CFSTR("kept"))) << i;
        EXPECT_FALSE(cf::Owned<CFDataRef>(CFPropertyListCreateXMLData(nullptr, unwritable[i].get()))) << i;
    }
    EXPECT_FALSE(cf::Owned<CFDataRef>(CFPropertyListCreateXMLData(nullptr, nullptr)));
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("x"), CFSTR("../escape"));
    EXPECT_FALSE(CFPreferencesAppSynchronize(CFSTR("../escape")));
    EXPECT_FALSE(copy("Key", CFSTR("../escape")));
    EXPECT_FALSE(CFPreferencesCopyAppValue(nullptr, id()));
}

TEST_F(Preferences, AppleLanguagesComeFromTheLocaleUnlessStored)
{
    setenv("LANGUAGE", "zh_TW:de", 1);
    setenv("LANG", "fr_FR.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    cf::Owned<> languages(
        CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication));
    ASSERT_EQ(CFGetTypeID(languages.get()), CFArrayGetTypeID());
    auto array = static_cast<CFArrayRef>(languages.get());
    ASSERT_EQ(CFArrayGetCount(array), 3);
    EXPECT_TRUE(CFEqual(CFArrayGetValueAtIndex(array, 0), CFSTR("zh-Hant-TW")));
    EXPECT_TRUE(CFEqual(CFArrayGetValueAtIndex(array, 1), CFSTR("de")));
    EXPECT_TRUE(CFEqual(CFArrayGetValueAtIndex(array, 2), CFSTR("fr-FR")));
    EXPECT_FALSE(copy("AppleLanguages", id())); // another application has none

    const void* stored[] = {CFSTR("ja")};
    cf::Owned<CFArrayRef> mine(CFArrayCreate(nullptr, stored, 1, &kCFTypeArrayCallBacks));
    CFPreferencesSetAppValue(CFSTR("AppleLanguages"), mine.get(), kCFPreferencesCurrentApplication);
    cf::Owned<> chosen(CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication));
    EXPECT_TRUE(CFEqual(chosen.get(), mine.get()));
    CFPreferencesSetAppValue(CFSTR("AppleLanguages"), nullptr, kCFPreferencesCurrentApplication);
    unsetenv("LANGUAGE");
    setenv("LANG", "C", 1);
    cf::Owned<> none(CFPreferencesCopyAppValue(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication));
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(none.get())), 0);
}

} // namespace
