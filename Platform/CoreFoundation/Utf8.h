// UTF-8 checks and measures, kept apart so that they can be tested on their own.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <string_view>

namespace cf::utf8
{

// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool isValid(std::string_view text);

// The length in UTF-16 code units of well-formed UTF-8 text.
CFIndex utf16Length(std::string_view text);

// True when every byte is ASCII.
bool isAscii(std::string_view text);

} // namespace cf::utf8
