#pragma once

#include <juce_core/juce_core.h>

// The program's executable: the file that holds its code.
juce::File getExecutableFile();

// Where the program's own files lie. The temporary directory is the user's cache folder for this
// program (created), the current application file is the bundle when the executable sits in one,
// and every other kind is the framework's.
juce::File getSpecialLocation(juce::File::SpecialLocationType type);
