# The Linux LV2 and Standalone builds of the same shared code target.
# Only what differs from the VST2 build is set here.

# The Standalone wrapper is built on the framework's audio device layer; JACK
# joins ALSA so the application can sit in a JACK graph (libjack is opened at
# run time, so the program still starts without it).
target_link_libraries(VRC PRIVATE juce::juce_audio_utils)
target_compile_definitions(VRC PRIVATE JUCE_JACK=1)

# Debian's framework falls back to the product name as the LV2 URI before the
# LV2 wrapper reads the generated header that carries the real one, so the
# wrapper gets it directly.
target_compile_definitions(VRC_LV2 PRIVATE "JucePlugin_LV2URI=\"${VRC_LV2_URI}\"")

set_target_properties(VRC_Standalone PROPERTIES OUTPUT_NAME "VR-C")
