# Turns a file into a C++ source holding its exact bytes, at build time:
#   cmake -DINPUT=<file> -DOUTPUT=<source.cpp> -DSYMBOL=<name> -P EmbedBytes.cmake
# The source defines
#   extern const unsigned char <name>[];   // the bytes, then one 0 byte
#   extern const size_t <name>Size;        // the number of bytes, without that 0
foreach(var INPUT OUTPUT SYMBOL)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "EmbedBytes.cmake: ${var} is not set")
  endif()
endforeach()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
# Sixteen bytes to a line, each as 0xNN.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# (CMake regular expressions have no repeat count, so the pattern is built.)
string(REPEAT "0x..," 16 lineOfBytes)
string(REGEX REPLACE "(${lineOfBytes})" "\\1\n    " bytes "${bytes}")

get_filename_component(inputName "${INPUT}" NAME)
file(WRITE "${OUTPUT}"
"// Generated from ${inputName} at build time; do not edit.
#include <cstddef>

extern const unsigned char ${SYMBOL}[];
extern const size_t ${SYMBOL}Size;

const unsigned char ${SYMBOL}[] = {
    ${bytes}0x00};
const size_t ${SYMBOL}Size = ${byteCount};
")
