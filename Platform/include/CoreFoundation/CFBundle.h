// Bundles: folders of resource files. The main bundle's resources lie in the folder "Resources"
// beside the running executable; other bundles are registered under an identifier (CFBundleLinux.h).
#pragma once

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>

CF_EXTERN_C_BEGIN

typedef struct __CFBundle* CFBundleRef;

CFTypeID CFBundleGetTypeID(void);

// The running executable's bundle, or NULL when the executable cannot be found. Not owned.
CFBundleRef CFBundleGetMainBundle(void);

// The bundle registered under the identifier, or NULL. Not owned.
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef identifier);

// Every bundle: the main one first, then the registered ones in the order of registration. Not owned.
CFArrayRef CFBundleGetAllBundles(void);

// The bundle's identifier, or NULL for a main bundle without one. Not owned.
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);

// A new URL of the resource file "name.type" (or "name" when the type is NULL or empty), in the
// subfolder when one is given; NULL when there is no such file. The caller owns it.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName);

CF_EXTERN_C_END
