// Linux addition to bundles: a library with resource files of its own registers them as a bundle.
#pragma once

#include <CoreFoundation/CFBundle.h>

CF_EXTERN_C_BEGIN

// Registers the folder of resource files as the bundle with the identifier, for the life of the
// process, and returns it (not owned). Registering an identifier again with the same folder gives
// the same bundle; with another folder it is refused with NULL, as are a null identifier or folder.
CFBundleRef CFBundleRegisterWithIdentifier(CFStringRef identifier, const char* resourcesFolder);

CF_EXTERN_C_END
