# updater_add_test(<name> SOURCES <files...> [LIBS <targets...>] [UMOCKDEV] [LABELS <labels...>])
# One GoogleTest executable, registered with CTest. UMOCKDEV runs it under umockdev-wrapper,
# so that it sees only the devices its own testbed makes, never the machine's.
find_package(GTest REQUIRED)
find_program(UMOCKDEV_WRAPPER umockdev-wrapper)

function(updater_add_test name)
  cmake_parse_arguments(T "UMOCKDEV" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main updater_warnings)
  # Tests name only the fields they set in designated initializers; the rest keep their defaults.
  target_compile_options(${name} PRIVATE -Wno-missing-field-initializers)
  if(T_UMOCKDEV)
    add_test(NAME ${name} COMMAND ${UMOCKDEV_WRAPPER} $<TARGET_FILE:${name}>)
    list(APPEND T_LABELS umockdev)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  # Leaks inside system libraries that no test can avoid.
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
               "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
  # Headless tests must reach no X server, neither the user's nor the GUI tests' own: without
  # DISPLAY the framework would try :0.
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "DISPLAY=:65535")
endfunction()
