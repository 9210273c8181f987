# The VST3, LV2 and CLAP layers receive a session's saved state from the host
# before the plug-in does. The project's own bounded readers (source/plugin/vst3,
# lv2 and clap) take those bytes first; they are part of the shared code, so the
# fuzz targets reach them without the format builds.
set(VRC_STATE_READER_SOURCES
    "${CMAKE_SOURCE_DIR}/source/plugin/lv2/Lv2StateText.cpp"
    "${CMAKE_SOURCE_DIR}/source/plugin/vst3/Vst3StateReader.cpp"
    "${CMAKE_SOURCE_DIR}/source/plugin/clap/ClapStateStream.cpp")
target_sources(VRC PRIVATE ${VRC_STATE_READER_SOURCES})
set_source_files_properties(${VRC_STATE_READER_SOURCES} PROPERTIES COMPILE_OPTIONS "${VRC_WARNING_FLAGS}")

# VST3: the framework's wrapper is a COM object whose state methods cannot be
# fronted without changing the component's identity, so a copy of its module,
# patched to call the project's reader (cmake/juce-patches), replaces it. The
# Windows build applies the same patches to its own copy of the modules.
if(TARGET VRC_VST3)
    include(PatchedJuceModules)
    vrc_make_patched_juce_modules(vrc_patched_modules
        SOURCE "${JUCE_MODULES_DIR}"
        DESTINATION "${CMAKE_BINARY_DIR}/juce-patched-modules"
        PATCH_DIR "${CMAKE_SOURCE_DIR}/cmake/juce-patches"
        MODULES juce_audio_plugin_client)
    set_property(TARGET juce_audio_plugin_client_VST3 PROPERTY INTERFACE_SOURCES
        "${vrc_patched_modules}/juce_audio_plugin_client/juce_audio_plugin_client_VST3.cpp")
endif()
