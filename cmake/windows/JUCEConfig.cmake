# Stands in for Debian's JUCE package configuration when the project is built
# for 32-bit Windows (scripts/build-windows.sh points JUCE_DIR here). Debian's
# own configuration refuses a 32-bit target, but its module support files and
# module sources are portable: this file loads those, with three MinGW fixes
# applied to a copy of the modules made in the build tree, and wires the image
# codecs that Debian's modules expect from the system to static MinGW builds.

set(VRC_DEBIAN_JUCE_CMAKE_DIR "/usr/lib/x86_64-linux-gnu/cmake/JUCE-7.0.5")
set(VRC_DEBIAN_JUCE_MODULES_DIR "/usr/share/juce/modules")

# juceaide runs on the build machine (binary data, resource scripts), so the
# Linux executable is the right one even for a Windows target.
if(NOT TARGET juce::juceaide)
    add_executable(juce::juceaide IMPORTED)
    set_target_properties(juce::juceaide PROPERTIES
        IMPORTED_LOCATION "/usr/lib/x86_64-linux-gnu/juce/juceaide")
endif()

include("${VRC_DEBIAN_JUCE_CMAKE_DIR}/JUCEModuleSupport.cmake")
include("${VRC_DEBIAN_JUCE_CMAKE_DIR}/JUCEUtils.cmake")

include("${CMAKE_CURRENT_LIST_DIR}/../PatchedJuceModules.cmake")
vrc_make_patched_juce_modules(patched_modules_dir
    SOURCE "${VRC_DEBIAN_JUCE_MODULES_DIR}"
    DESTINATION "${CMAKE_BINARY_DIR}/juce-modules"
    PATCH_DIR "${CMAKE_CURRENT_LIST_DIR}/juce-patches")

set(JUCE_MODULES_DIR "${patched_modules_dir}" CACHE INTERNAL "The path to JUCE modules")

set(vrc_juce_modules
    juce_audio_basics juce_audio_devices juce_audio_formats juce_audio_plugin_client
    juce_audio_processors juce_audio_utils juce_core juce_cryptography juce_data_structures
    juce_dsp juce_events juce_graphics juce_gui_basics juce_gui_extra juce_opengl)
foreach(module IN LISTS vrc_juce_modules)
    juce_add_module("${patched_modules_dir}/${module}" ALIAS_NAMESPACE juce)
endforeach()

include("${CMAKE_CURRENT_LIST_DIR}/MingwCodecs.cmake")

# The rest of the Windows specifics (export table, tests) need the plug-in's
# targets, which exist only once the top-level CMakeLists.txt has run.
include("${CMAKE_CURRENT_LIST_DIR}/VrcWindows.cmake")
enable_testing()
cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL vrc_windows_finish)

set(JUCE_FOUND TRUE)
