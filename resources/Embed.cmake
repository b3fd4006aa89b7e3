# Turns a file into a C++ array: cmake -DINPUT=<file> -DOUTPUT=<cpp> -DNAME=<identifier> -P Embed.cmake
file(READ "${INPUT}" bytes HEX)
string(LENGTH "${bytes}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    "
       bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT} at build time.\n#include \"EmbeddedBitmaps.h\"\n\n"
     "namespace resources\n{\nconst unsigned char ${NAME}[] = {\n    ${bytes}\n};\n"
     "const size_t ${NAME}Size = ${size};\n} // namespace resources\n")
