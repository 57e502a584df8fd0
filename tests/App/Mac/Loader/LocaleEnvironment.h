#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// Gives the tests the locale settings they ask for (LANG=C until then) and an empty home, so that
// neither the machine's language nor a stored preference decides. One for the whole test program:
// the preference store keeps the first home it sees.
class LocaleEnvironment
{
public:
    LocaleEnvironment()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "locale-home-XXXXXX").string();
        home = mkdtemp(pattern.data()) ? pattern : std::string();
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setLanguage("C");
    }

    ~LocaleEnvironment()
    {
        if (!home.empty())
            std::filesystem::remove_all(home);
    }

    // LANG as given, and LANGUAGE, a list of preferred languages, when one is given.
    void setLanguage(const char* lang, const char* language = nullptr)
    {
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        setenv("LANG", lang, 1);
        language ? setenv("LANGUAGE", language, 1) : unsetenv("LANGUAGE");
    }

private:
    std::string home;
};

inline LocaleEnvironment& localeEnvironment()
{
    static LocaleEnvironment environment;
    return environment;
}
