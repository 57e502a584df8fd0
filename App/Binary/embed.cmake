# Writes one data file as a C++ source: its bytes as a char array followed by a zero byte, and
# its length without that byte. Run as: cmake -DINPUT=<file> -DOUTPUT=<cpp> -DSYMBOL=<name> -P embed.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)

# 32 bytes a line, every byte as a \x escape, so that no escape can swallow the character after it.
set(lines "")
set(offset 0)
while(offset LESS hex_length)
  string(SUBSTRING "${hex}" ${offset} 64 chunk)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" chunk "${chunk}")
  string(APPEND lines "\n    \"${chunk}\"")
  math(EXPR offset "${offset} + 64")
endwhile()
if(lines STREQUAL "")
  set(lines " \"\"")
endif()

get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp" "// Generated from ${name} at build time.
#include \"Binary.h\"

// The string literal adds the zero byte that the text parser stops at.
const char ${SYMBOL}_array[] =${lines};
const int ${SYMBOL}_length = sizeof(${SYMBOL}_array) - 1;
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
