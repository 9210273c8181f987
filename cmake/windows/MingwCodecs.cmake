# Debian's framework modules decode images with the system's zlib, libpng and
# libjpeg instead of bundled copies. For Windows these are static MinGW builds:
# zlib from Debian's libz-mingw-w64-dev, libpng and libjpeg built from Debian's
# source packages by scripts/build-windows.sh into VRC_MINGW_PREFIX.

find_path(VRC_MINGW_PNG_INCLUDE png.h REQUIRED)
find_path(VRC_MINGW_JPEG_INCLUDE jpeglib.h REQUIRED)
find_library(VRC_MINGW_PNG_LIBRARY NAMES libpng16.a png16 REQUIRED)
find_library(VRC_MINGW_JPEG_LIBRARY NAMES libjpeg.a jpeg REQUIRED)
find_library(VRC_MINGW_ZLIB_LIBRARY NAMES libz.a z REQUIRED)

target_include_directories(juce_graphics INTERFACE "${VRC_MINGW_PNG_INCLUDE}" "${VRC_MINGW_JPEG_INCLUDE}")
target_link_libraries(juce_graphics INTERFACE
    "${VRC_MINGW_PNG_LIBRARY}" "${VRC_MINGW_JPEG_LIBRARY}" "${VRC_MINGW_ZLIB_LIBRARY}")
target_link_libraries(juce_core INTERFACE "${VRC_MINGW_ZLIB_LIBRARY}")

# The plug-in reads no audio files. The Linux project links Debian's FLAC and
# Vorbis libraries by name for the audio-format module; on Windows those
# decoders are switched off and the names resolve to empty targets.
target_compile_definitions(juce_audio_formats INTERFACE
    JUCE_USE_FLAC=0
    JUCE_USE_OGGVORBIS=0
    JUCE_USE_WINDOWS_MEDIA_FORMAT=0)
foreach(codec FLAC vorbisenc vorbisfile vorbis ogg)
    if(NOT TARGET ${codec})
        add_library(${codec} INTERFACE IMPORTED)
    endif()
endforeach()
