# The plug-in: one static library of shared code (JUCE's "shared code" target
# VRC) that every format's module (VST2, VST3, LV2, Standalone), the tests and
# the tools all link.

# The VST 2.4 interface comes from Debian's fst header behind a small shim.
juce_set_vst2_sdk_path("${CMAKE_SOURCE_DIR}/source/plugin/vst2-interface")

# The Windows cross build makes the VST2 DLL and the VST3 bundle
# (scripts/build-windows.sh --no-vst3 leaves the bundle out). The sanitizer and
# fuzzing build makes every format: its host suites drive the VST2, VST3 and
# LV2 binaries.
option(VRC_WINDOWS_VST3 "Windows cross build: also build the VST3 bundle" ON)
if(WIN32)
    set(VRC_PLUGIN_FORMATS VST)
    if(VRC_WINDOWS_VST3)
        list(APPEND VRC_PLUGIN_FORMATS VST3)
    endif()
else()
    # LV2 is the project's own module (cmake/VrcOtherFormats.cmake).
    set(VRC_PLUGIN_FORMATS VST VST3 Standalone)
endif()
# Hosts save the LV2 plug-ins' URIs in sessions (source/plugin/lv2/Lv2Ports.h).
set(VRC_LV2_URI "urn:veskara:vr-c")

juce_add_plugin(VRC
    PRODUCT_NAME "VR-C"
    COMPANY_NAME "veskara"
    COMPANY_WEBSITE "https://veskara.example/vr-c"
    PLUGIN_MANUFACTURER_CODE Vesk
    PLUGIN_CODE "VR#1"
    VERSION 1.0.1
    FORMATS ${VRC_PLUGIN_FORMATS}
    IS_SYNTH FALSE
    NEEDS_MIDI_INPUT FALSE
    NEEDS_MIDI_OUTPUT FALSE
    IS_MIDI_EFFECT FALSE
    EDITOR_WANTS_KEYBOARD_FOCUS FALSE
    VST2_CATEGORY kPlugCategEffect
    VST3_CATEGORIES Fx Dynamics
    COPY_PLUGIN_AFTER_BUILD FALSE)

file(GLOB VRC_PLUGIN_SOURCES CONFIGURE_DEPENDS
    "${CMAKE_SOURCE_DIR}/source/processor/VeskCompAudioProcessor.cpp"
    "${CMAKE_SOURCE_DIR}/source/editor/*.cpp"
    "${CMAKE_SOURCE_DIR}/source/plugin/*.cpp")
# The needle geometry is source/editor's own library (the artwork generator links it too).
list(FILTER VRC_PLUGIN_SOURCES EXCLUDE REGEX "/source/editor/NeedleGeometry\\.cpp$")
target_link_libraries(VRC PUBLIC vrc_editor_geometry)
target_sources(VRC PRIVATE ${VRC_PLUGIN_SOURCES})
# Our own files get the project's warnings; the framework's module files do not.
set_source_files_properties(${VRC_PLUGIN_SOURCES} PROPERTIES COMPILE_OPTIONS "${VRC_WARNING_FLAGS}")
target_include_directories(VRC PUBLIC "${CMAKE_SOURCE_DIR}/source")

target_compile_definitions(VRC PUBLIC ${VRC_FRAMEWORK_DEFINITIONS})

if(EXISTS "${CMAKE_SOURCE_DIR}/cmake/VrcResources.cmake")
    include(VrcResources)
endif()

target_link_libraries(VRC
    PRIVATE
        juce::juce_audio_processors
        juce::juce_audio_formats
    PUBLIC
        vrc_processor_core
        vrc_dsp
        juce::juce_recommended_config_flags)

# Debian's JUCE uses the system codecs rather than bundled copies.
target_link_libraries(VRC PUBLIC FLAC vorbisenc vorbisfile vorbis ogg)

set_target_properties(VRC_VST PROPERTIES PREFIX "" OUTPUT_NAME "VR-C")

# VST3 parameter IDs are the host indices 0..7 (and 8 for the wrapper's bypass
# switch) rather than hashes of them: sessions store these numbers.
if(TARGET VRC_VST3)
    target_compile_definitions(VRC_VST3 PRIVATE JUCE_FORCE_USE_LEGACY_PARAM_IDS=1)
endif()

# The VST3 bundle carries the licence and the third-party notices beside its
# binary (Contents/Resources), so a copied bundle keeps them.
if(TARGET VRC_VST3)
    add_custom_command(TARGET VRC_VST3 POST_BUILD
        COMMAND "${CMAKE_COMMAND}" -E make_directory "$<TARGET_FILE_DIR:VRC_VST3>/../Resources"
        COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/LICENSE" "${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.md"
            "$<TARGET_FILE_DIR:VRC_VST3>/../Resources/"
        VERBATIM)
endif()

# Links a program (test, tool) against the plug-in's shared code: the same
# objects as the plug-in, with the framework headers and definitions it saw.
function(vrc_use_shared_code target)
    target_include_directories(${target} PRIVATE $<TARGET_PROPERTY:VRC,INCLUDE_DIRECTORIES>)
    target_compile_definitions(${target} PRIVATE $<TARGET_PROPERTY:VRC,COMPILE_DEFINITIONS>)
    target_link_libraries(${target} PRIVATE VRC)
endfunction()

# LV2 and the Standalone application.
if(TARGET VRC_Standalone)
    include(VrcOtherFormats)
endif()
include(VrcClap)
# The project's readers take the VST3 and LV2 state from the host first.
include(VrcHostStateReaders)
# Editors on an X server where no window manager has run.
include(VrcPatchedX11)

# What each format's host looks up, and nothing else (tests/exports checks it).
include(VrcExports)
vrc_export_only(VRC_VST VSTPluginMain main)
vrc_export_only(VRC_VST3 GetPluginFactory ModuleEntry ModuleExit)
vrc_export_only(VRC_LV2 lv2_descriptor lv2ui_descriptor)
vrc_export_only(VRC_CLAP clap_entry)

# clang links its sanitizer runtime into executables only; an instrumented plug-in
# gets those symbols from the host program that loads it.
# Host and plug-in each declare the VST types themselves, so clang's check of
# function types across that boundary would flag every call between them.
if((VRC_SANITIZE OR VRC_SANITIZE_THREAD) AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    foreach(format_target IN ITEMS VRC_VST VRC_VST3 VRC_LV2 VRC_CLAP)
        if(TARGET ${format_target})
            target_link_options(${format_target} PRIVATE "-Wl,-z,undefs")
            if(VRC_SANITIZE)
                target_compile_options(${format_target} PRIVATE -fno-sanitize=function)
            endif()
        endif()
    endforeach()
endif()

# Hosts meet the project's VST2 layer (source/plugin/vst2) first. That layer also
# compiles the framework's wrapper itself, with the wrapper's entry points renamed,
# so it replaces the framework's wrapper unit in the VST target.
file(GLOB VRC_VST2_LAYER_SOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/source/plugin/vst2/*.cpp")
set_property(TARGET juce_audio_plugin_client_VST PROPERTY INTERFACE_SOURCES ${VRC_VST2_LAYER_SOURCES})
set(VRC_VST2_OWN_SOURCES ${VRC_VST2_LAYER_SOURCES})
list(FILTER VRC_VST2_OWN_SOURCES EXCLUDE REGEX "/FrameworkVstWrapper\\.cpp$")
# (-Wno-cpp: the fst header marks identifiers it has not documented with #warning.)
set_source_files_properties(${VRC_VST2_OWN_SOURCES} PROPERTIES COMPILE_OPTIONS "${VRC_WARNING_FLAGS};-Wno-cpp")
