# JUCE comes from Debian's juce-modules-source; its codecs come from the system.
find_package (JUCE CONFIG REQUIRED)
find_package (PkgConfig REQUIRED)

if (CMAKE_SYSTEM_NAME STREQUAL "Linux")
    pkg_check_modules (OLVAR_SYSTEM_CODECS REQUIRED IMPORTED_TARGET
                       libpng libjpeg flac vorbis vorbisfile vorbisenc ogg zlib)
endif()
