// Unordered collections of distinct values, immutable or mutable.
#pragma once

#include <CoreFoundation/CFBase.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFSet* CFSetRef;
typedef struct __CFSet* CFMutableSetRef;

typedef const void* (*CFSetRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFSetReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFSetCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFSetEqualCallBack)(const void* value1, const void* value2);
typedef CFHashCode (*CFSetHashCallBack)(const void* value);

// How a set keeps its values. Null callbacks keep plain pointers compared by identity.
typedef struct
{
    CFIndex version;
    CFSetRetainCallBack retain;
    CFSetReleaseCallBack release;
    CFSetCopyDescriptionCallBack copyDescription;
    CFSetEqualCallBack equal;
    CFSetHashCallBack hash;
} CFSetCallBacks;

// Values are objects: retained, released, compared with CFEqual and hashed with CFHash.
extern const CFSetCallBacks kCFTypeSetCallBacks;

typedef void (*CFSetApplierFunction)(const void* value, void* context);

CFTypeID CFSetGetTypeID(void);

// A new immutable set of the values; duplicates are kept once. The caller owns it.
CFSetRef CFSetCreate(CFAllocatorRef allocator, const void** values, CFIndex count,
                     const CFSetCallBacks* callBacks);

// A new empty mutable set; capacity 0 means no limit. The caller owns it.
CFMutableSetRef CFSetCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                   const CFSetCallBacks* callBacks);

CFIndex CFSetGetCount(CFSetRef set);
Boolean CFSetContainsValue(CFSetRef set, const void* value);

// Fills the array with the values, in the order CFSetApplyFunction visits them.
void CFSetGetValues(CFSetRef set, const void** values);

// Calls the applier once for each value. The set must not change meanwhile.
void CFSetApplyFunction(CFSetRef set, CFSetApplierFunction applier, void* context);

// The mutations below act only on mutable sets; otherwise nothing happens.
void CFSetAddValue(CFMutableSetRef set, const void* value);
void CFSetRemoveValue(CFMutableSetRef set, const void* value);
void CFSetRemoveAllValues(CFMutableSetRef set);

CF_EXTERN_C_END
