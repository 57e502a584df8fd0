// Base64 for the data elements of property lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cf::base64
{

std::string encode(const uint8_t* bytes, size_t length);

// The bytes, ignoring white space; nothing when a character or the padding is out of place.
std::optional<std::vector<uint8_t>> decode(std::string_view text);

} // namespace cf::base64
