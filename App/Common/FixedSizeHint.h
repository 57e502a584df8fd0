#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Tells the window manager that a top-level window keeps its present size: no resizing and no
// maximising. JUCE sets these hints for a window without a resizer but overwrites them each
// time it moves or sizes the window, so call this again after every move and resize.
void setFixedSizeHint(juce::ComponentPeer& peer);
