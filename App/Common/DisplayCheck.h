#pragma once

// True when the X display that DISPLAY names can be opened. The window needs one, and JUCE
// itself would go on without it and show nothing.
bool canOpenDisplay();
