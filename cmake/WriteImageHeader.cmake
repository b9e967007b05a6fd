# cmake -DOUTPUT=header.h "-DIMAGES=a.png;b.png;..." -P WriteImageHeader.cmake
# Writes one internal-linkage byte array per image, named temp1, temp2, ... in list order.
set (text "// Generated from resources/images by the build; do not edit.\n#pragma once\n\n")
set (index 0)

foreach (image IN LISTS IMAGES)
    math (EXPR index "${index} + 1")
    file (READ "${image}" bytes HEX)
    string (REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
    string (REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")
    get_filename_component (name "${image}" NAME)
    string (APPEND text "// ${name}\nstatic const unsigned char temp${index}[] = {\n    ${bytes}\n};\n\n")
endforeach()

file (WRITE "${OUTPUT}.tmp" "${text}")
file (RENAME "${OUTPUT}.tmp" "${OUTPUT}")
