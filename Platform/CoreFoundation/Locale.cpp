// CFLocale: canonical locale identifiers.
#include "LocaleIdentifiers.h"
#include "Strings.h"

#include <CoreFoundation/CFLocale.h>

CFStringRef CFLocaleCreateCanonicalLocaleIdentifierFromString(CFAllocatorRef, CFStringRef identifier)
{
    if (cf::as<cf::String>(identifier) == nullptr)
        return nullptr;
    std::string canonical = cf::locale::canonicalIdentifier(cf::textOf(identifier));
    return canonical.empty() ? nullptr : cf::makeString(std::move(canonical));
}
