// Type ids of the layer's own object kinds, fixed so that constant objects need no set-up.
#pragma once

#include <CoreFoundation/CFBase.h>

namespace cf
{

enum BuiltinType : CFTypeID
{
    kStringType = 1,
    kNumberType,
    kBooleanType,
    kArrayType,
    kDictionaryType,
    kSetType,
    kDataType,
    kURLType,
    kBundleType,
    kRunLoopType,
    kDateType,
    kFirstRegisteredType = 32
};

} // namespace cf
