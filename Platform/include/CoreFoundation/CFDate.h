// Points in time, as property lists hold them.
#pragma once

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

// Seconds since 2001-01-01 00:00:00 UTC.
typedef double CFAbsoluteTime;

typedef const struct __CFDate* CFDateRef;

CFTypeID CFDateGetTypeID(void);

// A new date for the time. The caller owns it.
CFDateRef CFDateCreate(CFAllocatorRef allocator, CFAbsoluteTime at);

// The date's time; 0 for NULL or another kind.
CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef date);

CF_EXTERN_C_END
