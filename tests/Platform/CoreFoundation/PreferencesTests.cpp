#include "CFTestHelpers.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <sys/wait.h>

namespace
{

namespace fs = std::filesystem;
using cftest::kept;
using cftest::string;

std::string contents(const std::string& file)
{
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Preferences : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/cf_preferences_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        setenv("XDG_CONFIG_HOME", pattern, 1);
        // Each run of a test has an application id of its own: the layer keeps what it loaded per id
        // as long as the process.
        static int runs = 0;
        const std::string name = std::string("org.test.") +
                                 testing::UnitTest::GetInstance()->current_test_info()->name() + "." +
                                 std::to_string(++runs);
        m_id = string(name);
        m_path = m_folder + "/" + name + ".plist";
    }
    void TearDown() override
    {
        // Nothing may stay pending, or the end of the process writes it into the removed folder.
        CFPreferencesAppSynchronize(id());
        fs::remove_all(m_folder);
    }

    CFStringRef id() const { return m_id.get(); }
    cf::Owned<> copy(CFStringRef key, CFStringRef application = nullptr) const
    {
        return cf::Owned<>(CFPreferencesCopyAppValue(key, application != nullptr ? application : id()));
    }
    // What a fresh process reads from the file.
    cf::Owned<> stored() const { return cftest::parse(contents(m_path)); }

    std::string m_folder, m_path;
    cf::Owned<CFStringRef> m_id;
};

TEST_F(Preferences, ChangesReachTheDiskWhenTheProcessEnds)
{
    // Processes ending together each keep the others' values, with what XML changes unless escaped.
    auto value = [](int i) { return string("Key" + std::to_string(i) + " \r\n\t<&>"); };
    auto key = [](int i) { return string("Key" + std::to_string(i)); };
    std::vector<pid_t> children;
    std::fflush(nullptr); // or each child writes out what is buffered again
    for (int i = 0; i < 8; ++i)
        if (children.emplace_back(fork()) == 0)
        {
            CFPreferencesSetAppValue(key(i).get(), value(i).get(), id());
            std::exit(0);
        }
    int status = 0;
    for (pid_t child : children)
        EXPECT_TRUE(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(CFEqual(copy(key(i).get()).get(), value(i).get())) << i;
}

TEST_F(Preferences, SetValuesAreSeenAtOnceButWrittenOnlyBySynchronize)
{
    CFPreferencesSetAppValue(CFSTR("Absent"), nullptr, id());
    EXPECT_TRUE(CFPreferencesAppSynchronize(id())); // changes nothing, so writes nothing
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("value"), id());
    EXPECT_TRUE(CFEqual(copy(CFSTR("Key")).get(), CFSTR("value")));
    EXPECT_TRUE(fs::is_empty(m_folder));
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_NE(contents(m_path).find("<string>value</string>"), std::string::npos);

    CFPreferencesSetAppValue(CFSTR("Key"), nullptr, id());
    EXPECT_FALSE(copy(CFSTR("Key")));
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_EQ(contents(m_path).find("Key"), std::string::npos);
}

TEST_F(Preferences, SynchronizeMergesIntoWhatAnotherProcessWrote)
{
    CFPreferencesSetAppValue(CFSTR("Mine"), CFSTR("1"), id());
    // Every kind of value another writer may have stored, and what a crash in the middle of its
    // next write would leave beside the file.
    std::ofstream(m_path)
        << "<plist version=\"1.0\"><dict><key>Theirs</key><array><date>2024-02-29T23:59:59Z</date>"
           "<data>AAEC/w==</data><real>0.5</real><integer>-7</integer><true/><false/><string>s</string>"
           "<dict><key>k</key><string>v</string></dict></array></dict></plist>";
    std::ofstream(m_path + ".a1b2c3") << "<plist><dict><key>Theirs</key><str";
    cf::Owned<CFMutableDictionaryRef> merged(
        CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(stored().get())));
    CFDictionarySetValue(merged.get(), CFSTR("Mine"), CFSTR("1"));
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_TRUE(CFEqual(stored().get(), merged.get()));
    EXPECT_TRUE(CFEqual(copy(CFSTR("Theirs")).get(), CFDictionaryGetValue(merged.get(), CFSTR("Theirs"))));
}

TEST_F(Preferences, AFailedSynchronizeLeavesTheFileAsItWasAndKeepsTheChange)
{
    const std::string unusable[] = {
        "<plist><dict><key>unfinished",
        "<plist><dict><key>Other</key><uid>7</uid></dict></plist>", // a kind of value the reader lacks
        "<plist><array><string>not a dictionary</string></array></plist>",
    };
    CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanTrue, id());
    for (const std::string& document : unusable)
    {
        std::ofstream(m_path) << document;
        EXPECT_FALSE(CFPreferencesAppSynchronize(id())) << document;
        EXPECT_EQ(contents(m_path), document);
    }
    fs::remove(m_path);
    ASSERT_EQ(symlink(m_path.c_str(), m_path.c_str()), 0); // a loop: unreadable even for root
    EXPECT_FALSE(CFPreferencesAppSynchronize(id()));
    EXPECT_TRUE(fs::is_symlink(m_path));
    fs::remove(m_path);
    EXPECT_TRUE(CFPreferencesAppSynchronize(id())); // the change waited
    const std::string written = contents(m_path);
    EXPECT_NE(written.find("<true/>"), std::string::npos);

    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    chmod(m_folder.c_str(), 0500);
    CFPreferencesSetAppValue(CFSTR("Key"), kCFBooleanFalse, id());
    EXPECT_FALSE(CFPreferencesAppSynchronize(id()));
    EXPECT_EQ(contents(m_path), written);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()),
              1); // no temporary file left behind
    chmod(m_folder.c_str(), 0700);
    EXPECT_TRUE(CFPreferencesAppSynchronize(id()));
    EXPECT_NE(contents(m_path).find("<false/>"), std::string::npos);
}

TEST_F(Preferences, ANamedPipeOrAFolderForTheFileHoldsNothingAndIsLeftAsItIs)
{
    // Each call must return at once; one that waits on the pipe for a writer is let go after a
    // while, so that the test ends either way.
    const auto atOnce = [this](const std::function<bool()>& call)
    {
        auto called = std::async(std::launch::async, call);
        const bool returned = called.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        if (!returned)
            ::close(::open(m_path.c_str(), O_WRONLY | O_NONBLOCK));
        EXPECT_TRUE(returned) << "the call waited";
        return called.get();
    };
    ASSERT_EQ(mkfifo(m_path.c_str(), 0600), 0);
    EXPECT_FALSE(atOnce([this] { return copy(CFSTR("Key")).get() != nullptr; }));
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("value"), id());
    EXPECT_FALSE(atOnce([this] { return CFPreferencesAppSynchronize(id()); }));
    EXPECT_TRUE(fs::is_fifo(m_path));

    fs::remove(m_path);
    fs::create_directory(m_path);
    EXPECT_FALSE(atOnce([this] { return CFPreferencesAppSynchronize(id()); }));
    EXPECT_TRUE(fs::is_directory(m_path) && fs::is_empty(m_path));

    fs::remove(m_path);
    EXPECT_TRUE(CFPreferencesAppSynchronize(id())); // the change waited
    EXPECT_NE(contents(m_path).find("<string>value</string>"), std::string::npos);
}

TEST_F(Preferences, RefusesAtTheSetWhatWouldNotReadBackAndBadIds)
{
    const auto control = string("a\x01z");
    const cf::Owned<> unwritable[] = {
        kept(control.get()),
        kept(string(std::string_view("a\0z", 3)).get()),
        kept(string("\xEF\xBF\xBE").get()), // U+FFFE
        kept(cftest::array({control.get()}).get()),
        kept(cftest::dictionary({control.get()}, {CFSTR("v")}).get()),
        kept(cftest::dictionary({CFSTR("k")}, {cftest::array({control.get()}).get()}).get()),
        kept(cftest::dictionary({cftest::number(1).get()}, {CFSTR("v")}).get()),
        cf::Owned<>(CFDateCreate(nullptr, 0.5)),
        cf::Owned<>(CFDateCreate(nullptr, 1e12)), // past the year 9999
        kept(CFRunLoopGetMain()),
    };
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("kept"), id());
    for (const cf::Owned<>& value : unwritable)
    {
        CFPreferencesSetAppValue(CFSTR("Key"), value.get(), id());
        EXPECT_TRUE(CFEqual(copy(CFSTR("Key")).get(), CFSTR("kept"))) << &value - unwritable;
        EXPECT_EQ(cftest::xmlOf(value.get()), "") << &value - unwritable;
    }
    EXPECT_EQ(cftest::xmlOf(nullptr), "");
    CFPreferencesSetAppValue(CFSTR("Key"), CFSTR("x"), CFSTR("../escape"));
    EXPECT_FALSE(CFPreferencesAppSynchronize(CFSTR("../escape")));
    EXPECT_FALSE(copy(CFSTR("Key"), CFSTR("../escape")));
    EXPECT_FALSE(copy(nullptr));
}

TEST_F(Preferences, AppleLanguagesComeFromTheLocaleUnlessStored)
{
    unsetenv("LANGUAGE");
    setenv("LC_ALL", "zh_TW.UTF-8", 1);
    auto languages = [this] { return copy(CFSTR("AppleLanguages"), kCFPreferencesCurrentApplication); };
    EXPECT_TRUE(CFEqual(languages().get(), cftest::array({CFSTR("zh-Hant-TW")}).get()));
    EXPECT_FALSE(copy(CFSTR("AppleLanguages"))); // another application has none
    auto mine = cftest::array({CFSTR("ja")});
    CFPreferencesSetAppValue(CFSTR("AppleLanguages"), mine.get(), kCFPreferencesCurrentApplication);
    EXPECT_TRUE(CFEqual(languages().get(), mine.get()));
    CFPreferencesSetAppValue(CFSTR("AppleLanguages"), nullptr, kCFPreferencesCurrentApplication);
    setenv("LC_ALL", "C", 1);
    EXPECT_TRUE(CFEqual(languages().get(), cftest::array({}).get()));
}

} // namespace
