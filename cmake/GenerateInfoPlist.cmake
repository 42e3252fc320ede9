# Writes OUTPUT: a C++ source holding the bytes of INPUT in the "__info_plist" section.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT}
"// Generated from the helper's Info.plist; do not edit.\n"
"extern \"C\" __attribute__((section(\"__info_plist\"), used)) const unsigned char quorvantel_info_plist[] = {${bytes}};\n")
