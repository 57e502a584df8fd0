# updater_add_test(<name> SOURCES <files...> [LIBS <targets...>] [UMOCKDEV] [LABELS <labels...>]
#                   [LOCALES <locales...>])
# One GoogleTest executable, registered with CTest. UMOCKDEV runs it under umockdev-wrapper,
# so that it sees only the devices its own testbed makes, never the machine's. LOCALES registers
# it once more under each locale given (LANG and LC_ALL, as <name>_<locale without codeset>).
find_package(GTest REQUIRED)
find_program(UMOCKDEV_WRAPPER umockdev-wrapper)

function(updater_add_test name)
  cmake_parse_arguments(T "UMOCKDEV" "" "SOURCES;LIBS;LABELS;LOCALES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main updater_warnings)
  # Tests name only the fields they set in designated initializers; the rest keep their defaults.
  target_compile_options(${name} PRIVATE -Wno-missing-field-initializers)
  if(T_UMOCKDEV)
    set(command ${UMOCKDEV_WRAPPER} $<TARGET_FILE:${name}>)
    list(APPEND T_LABELS umockdev)
  else()
    set(command ${name})
  endif()
  add_test(NAME ${name} COMMAND ${command})
  set(registered ${name})
  foreach(locale ${T_LOCALES})
    string(REGEX REPLACE "[.].*" "" short ${locale})
    add_test(NAME ${name}_${short} COMMAND ${command})
    set_property(TEST ${name}_${short} PROPERTY ENVIRONMENT "LANG=${locale};LC_ALL=${locale}")
    list(APPEND registered ${name}_${short})
  endforeach()
  if(T_LABELS)
    set_tests_properties(${registered} PROPERTIES LABELS "${T_LABELS}")
  endif()
  # Leaks inside system libraries that no test can avoid.
  set_property(TEST ${registered} APPEND PROPERTY ENVIRONMENT
               "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
  # Headless tests must reach no X server, neither the user's nor the GUI tests' own: without
  # DISPLAY the framework would try :0.
  set_property(TEST ${registered} APPEND PROPERTY ENVIRONMENT "DISPLAY=:65535")
endfunction()
