# UPDATER_SANITIZE=address,undefined or thread applies to everything built here,
# the framework's sources included, so that the sanitizers see every access.
if(UPDATER_SANITIZE)
  set(_flags -fsanitize=${UPDATER_SANITIZE} -fno-omit-frame-pointer)
  if(UPDATER_SANITIZE MATCHES "undefined")
    list(APPEND _flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_flags})
  add_link_options(-fsanitize=${UPDATER_SANITIZE})
endif()

# Fuzzing builds instrument everything for coverage; the fuzz targets add the driver.
if(UPDATER_FUZZERS)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
