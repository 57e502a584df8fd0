// Locale identifiers.
#pragma once

#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

// A new canonical identifier for a language tag or locale name, owned by the caller: the language
// in lower case, a script in title case joined with "-", a region in upper case joined with "_"
// ("de-DE" gives "de_DE", "zh-Hans-CN" gives "zh-Hans_CN", "EN" gives "en"). A codeset or modifier
// (".UTF-8", "@euro") is dropped. NULL when the text has no language.
CFStringRef CFLocaleCreateCanonicalLocaleIdentifierFromString(CFAllocatorRef allocator,
                                                              CFStringRef identifier);

CF_EXTERN_C_END
