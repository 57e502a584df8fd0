// What the property-list reader and writer offer the rest of the layer.
#pragma once

#include <CoreFoundation/CFBase.h>

namespace cf
{

// True when the object and everything in it can be written as a property list that reads back equal.
bool isPropertyList(CFTypeRef object);

} // namespace cf
