// Making file URLs inside the layer.
#pragma once

#include <CoreFoundation/CFURL.h>
#include <string>

namespace cf
{

// A new file URL for the path, owned by the caller; NULL for an empty path.
CFURLRef makeFileURL(const std::string& path);

} // namespace cf
