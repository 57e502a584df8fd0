// Locale names and language tags, as pure functions over text so that tests can feed them directly.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace cf::locale
{

// The canonical identifier: "de-DE" and "de_DE" give "de_DE", "zh-Hans-CN" gives "zh-Hans_CN",
// "EN" gives "en". Empty when the text has no language.
std::string canonicalIdentifier(std::string_view text);

// The language tag a POSIX locale name stands for: "de_DE.UTF-8" gives "de-DE", "zh_CN" gives
// "zh-Hans-CN", "zh_TW" gives "zh-Hant-TW". Empty for "C", "POSIX" and names without a language.
std::string languageTag(std::string_view localeName);

// Locale names by their aliases, the aliases in lower case: "french" stands for "fr_FR.ISO-8859-1".
using Aliases = std::map<std::string, std::string>;

// The aliases of a table in the system's locale.alias form: on each line an alias, then the name it
// stands for, separated by blanks. Comments ("#"), blank lines and lines without a name are
// skipped; the first line for an alias counts.
Aliases parseAliases(std::string_view table);

// The preferred languages, most preferred first: the entries of LANGUAGE, then the locale of
// LC_ALL, LC_MESSAGES or LANG (the first one set), each as a language tag, without repeats. A name
// that is an alias, as a whole and ignoring case, stands for the locale it names.
std::vector<std::string> preferredLanguages(const std::function<const char*(const char*)>& environment,
                                            const Aliases& aliases = {});

} // namespace cf::locale
