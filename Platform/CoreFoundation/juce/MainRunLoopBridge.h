// Serves the main thread's run loop from JUCE's message loop, so that the sources and posted work
// of its default mode (device arrivals, removals, input reports) run on the message thread as soon
// as they are ready, straight from the run loop and with no polling timer.
#pragma once

// Call once at start-up on the message thread, after the message manager exists (for instance in
// JUCEApplication::initialise). Further calls do nothing. Needs the message thread to be the
// process's main thread, as it is in a JUCE application.
void attachMainRunLoopToMessageLoop();

// Stops serving the main run loop; call on the message thread before the message manager goes.
void detachMainRunLoopFromMessageLoop();
