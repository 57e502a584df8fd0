#include "LocaleIdentifiers.h"

#include <algorithm>
#include <cctype>

namespace cf::locale
{
namespace
{

// The name without its codeset (".UTF-8") and modifier ("@euro").
std::string_view withoutCodeset(std::string_view name)
{
    return name.substr(0, name.find_first_of(".@"));
}

std::vector<std::string> split(std::string_view text, std::string_view separators)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size())
    {
        const size_t end = std::min(text.find_first_of(separators, start), text.size());
        if (end > start)
            parts.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool allOf(const std::string& text, int (*test)(int))
{
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string title(std::string text)
{
    text = lower(std::move(text));
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

bool isLanguage(const std::string& part)
{
    return part.size() >= 2 && part.size() <= 8 && allOf(part, isalpha);
}

bool isScript(const std::string& part)
{
    return part.size() == 4 && allOf(part, isalpha);
}

bool isRegion(const std::string& part)
{
    return (part.size() == 2 && allOf(part, isalpha)) || (part.size() == 3 && allOf(part, isdigit));
}

// The parts of a name: language, then script and region when present.
struct Parts
{
    std::string language, script, region;
    std::vector<std::string> variants;
};

bool parse(std::string_view text, Parts& parts)
{
    const std::vector<std::string> pieces = split(withoutCodeset(text), "-_");
    if (pieces.empty() || !isLanguage(pieces[0]))
        return false;
    parts.language = lower(pieces[0]);
    for (size_t i = 1; i < pieces.size(); ++i)
    {
        if (parts.script.empty() && parts.region.empty() && parts.variants.empty() && isScript(pieces[i]))
            parts.script = title(pieces[i]);
        else if (parts.region.empty() && parts.variants.empty() && isRegion(pieces[i]))
            parts.region = upper(pieces[i]);
        else
            parts.variants.push_back(upper(pieces[i]));
    }
    return true;
}

// Chinese is stored with its script: traditional for Taiwan, Hong Kong and Macao, else simplified.
std::string chineseScript(const std::string& region)
{
    return region == "TW" || region == "HK" || region == "MO" ? "Hant" : "Hans";
}

} // namespace

std::string canonicalIdentifier(std::string_view text)
{
    Parts parts;
    if (!parse(text, parts))
        return {};
    std::string identifier = parts.language;
    if (!parts.script.empty())
        identifier += "-" + parts.script;
    if (!parts.region.empty())
        identifier += "_" + parts.region;
    for (const std::string& variant : parts.variants)
        identifier += "_" + variant;
    return identifier;
}

std::string languageTag(std::string_view localeName)
{
    Parts parts;
    const std::string_view name = withoutCodeset(localeName);
    if (name == "C" || name == "POSIX" || !parse(name, parts))
        return {};
    if (parts.language == "zh" && parts.script.empty())
        parts.script = chineseScript(parts.region);
    std::string tag = parts.language;
    if (!parts.script.empty())
        tag += "-" + parts.script;
    if (!parts.region.empty())
        tag += "-" + parts.region;
    return tag;
}

Aliases parseAliases(std::string_view table)
{
    Aliases aliases;
    for (const std::string& line : split(table, "\n"))
    {
        const std::vector<std::string> words = split(line.substr(0, line.find('#')), " \t\r\f\v");
        if (words.size() >= 2)
            aliases.emplace(lower(words[0]), words[1]);
    }
    return aliases;
}

std::vector<std::string> preferredLanguages(const std::function<const char*(const char*)>& environment,
                                            const Aliases& aliases)
{
    std::vector<std::string> names;
    if (const char* list = environment("LANGUAGE"))
        names = split(list, ":");
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
    {
        const char* value = environment(variable);
        if (value != nullptr && *value != '\0')
        {
            names.emplace_back(value);
            break;
        }
    }
    std::vector<std::string> tags;
    for (const std::string& name : names)
    {
        const auto alias = aliases.find(lower(name));
        std::string tag = languageTag(alias != aliases.end() ? alias->second : name);
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end())
            tags.push_back(std::move(tag));
    }
    return tags;
}

} // namespace cf::locale
