# The VST3, LV2 and CLAP layers receive a session's saved state from the host
# before the plug-in does. The project's own bounded readers take those bytes
# first. They are their folders' own libraries (vrc_vst3_state_reader,
# vrc_lv2_state_text, vrc_clap_state_stream), which the format targets, tests
# and fuzz targets link; the formats depend on the processor, never the other way.

# VST3: the framework's wrapper is a COM object whose state methods cannot be
# fronted without changing the component's identity, so a copy of its module,
# patched to call the project's reader (cmake/juce-patches), replaces it. The
# Windows build applies the same patches to its own copy of the modules.
if(TARGET VRC_VST3)
    target_link_libraries(VRC_VST3 PRIVATE vrc_vst3_state_reader)
    include(PatchedJuceModules)
    vrc_make_patched_juce_modules(vrc_patched_modules
        SOURCE "${JUCE_MODULES_DIR}"
        DESTINATION "${CMAKE_BINARY_DIR}/juce-patched-modules"
        PATCH_DIR "${CMAKE_SOURCE_DIR}/cmake/juce-patches"
        MODULES juce_audio_plugin_client)
    set_property(TARGET juce_audio_plugin_client_VST3 PROPERTY INTERFACE_SOURCES
        "${vrc_patched_modules}/juce_audio_plugin_client/juce_audio_plugin_client_VST3.cpp")
endif()
