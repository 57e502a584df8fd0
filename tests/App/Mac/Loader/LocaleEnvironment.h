#pragma once

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

// Gives the tests the locale settings they ask for (LANG=C until then) and an empty home, so that
// neither the machine's language nor a stored preference decides; restores all on leaving.
class LocaleEnvironment
{
public:
    LocaleEnvironment()
    {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"})
            m_saved[name] = std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt;
        std::string pattern = (std::filesystem::temp_directory_path() / "locale-home-XXXXXX").string();
        m_home = mkdtemp(pattern.data()) ? pattern : std::string();
        setenv("HOME", m_home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_home + "/.config").c_str(), 1);
        setLanguage("C");
    }

    ~LocaleEnvironment()
    {
        for (const auto& [name, value] : m_saved)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        if (!m_home.empty())
            std::filesystem::remove_all(m_home);
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
    std::map<std::string, std::optional<std::string>> m_saved;
    std::string m_home;
};

// One for the whole test program: the preference store keeps the first home it sees.
inline LocaleEnvironment& localeEnvironment()
{
    static LocaleEnvironment environment;
    return environment;
}
