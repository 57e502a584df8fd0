# The framework's modules, compiled once into a static library that the program's
# library, the program and the tests all link.
find_package(JUCE CONFIG REQUIRED)
# Debian's modules use the system's image codecs instead of carrying their own.
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)

add_library(updater_juce STATIC)
target_link_libraries(updater_juce
  PRIVATE juce::juce_gui_basics juce::juce_graphics juce::juce_events juce::juce_core juce::juce_data_structures
  PUBLIC juce::juce_recommended_config_flags PNG::PNG JPEG::JPEG)
set(_juce_definitions
  JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
  JUCE_STANDALONE_APPLICATION=1
  JUCE_DISPLAY_SPLASH_SCREEN=0
  JUCE_REPORT_APP_USAGE=0
  JUCE_WEB_BROWSER=0
  JUCE_USE_CURL=0
  JUCE_USE_XRANDR=1
  JUCE_MODAL_LOOPS_PERMITTED=1 # tests pump the message loop with runDispatchLoopUntil
  JUCE_APPLICATION_NAME_STRING="QLNUpdateProgram"
  JUCE_APPLICATION_VERSION_STRING="0.0.0.1")
target_compile_definitions(updater_juce PUBLIC ${_juce_definitions})
target_include_directories(updater_juce SYSTEM INTERFACE
  $<TARGET_PROPERTY:updater_juce,INCLUDE_DIRECTORIES>)

# Nobody steps through the framework: without debug information its large units build much faster.
target_compile_options(updater_juce PRIVATE -g0)
