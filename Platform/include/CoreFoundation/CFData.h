// Immutable byte buffers.
#pragma once

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFData* CFDataRef;

CFTypeID CFDataGetTypeID(void);

// A new buffer holding a copy of the bytes (none when length is 0). The caller owns it.
CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length);

CFIndex CFDataGetLength(CFDataRef data);

// The bytes, owned by the buffer and valid while it lives.
const UInt8* CFDataGetBytePtr(CFDataRef data);

CF_EXTERN_C_END
