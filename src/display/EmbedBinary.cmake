# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P EmbedBinary.cmake
# Writes a source file that holds the input's bytes as a constant array.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} at build time.
#include <cstddef>
#include <cstdint>

extern const uint8_t ${SYMBOL}[] = {
    ${bytes}
};
extern const size_t ${SYMBOL}Length = ${byteCount};
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
