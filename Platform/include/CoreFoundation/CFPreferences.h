// Per-application preferences, kept as XML property lists in the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config), one file "<application id>.plist" per application.
#pragma once

#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

// The running program's own application id: its executable's name.
extern const CFStringRef kCFPreferencesCurrentApplication;

// A new reference to the key's value, or NULL when there is none; the caller owns it.
// "AppleLanguages" of the current application, when none is stored, is the array of preferred
// languages from LANGUAGE, LC_ALL, LC_MESSAGES and LANG ("de-DE", "zh-Hans-CN", ...); a system
// locale alias there ("french") counts as the locale it stands for. A file that is not a regular
// file (a named pipe, a folder) is neither read nor written: it holds no values.
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);

// Sets the key's value (NULL removes it), in memory until the next synchronize or, at the latest,
// the normal end of the process. A value that CFPropertyListCreateXMLData would refuse is refused
// and nothing changes.
void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID);

// Writes the changes made since the last synchronize, merged into what the file holds now,
// atomically, then rereads the file. False when the file exists but cannot be read (unreadable,
// malformed or not a dictionary), which is then left as it is, or when the write fails; the changes
// are then kept.
Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);

CF_EXTERN_C_END
