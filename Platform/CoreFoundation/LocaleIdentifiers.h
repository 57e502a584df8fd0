// Locale names and language tags, as pure functions over text so that tests can feed them directly.
#pragma once

#include <functional>
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

// The preferred languages, most preferred first: the entries of LANGUAGE, then the locale of
// LC_ALL, LC_MESSAGES or LANG (the first one set), each as a language tag, without repeats.
std::vector<std::string> preferredLanguages(const std::function<const char*(const char*)>& environment);

} // namespace cf::locale
