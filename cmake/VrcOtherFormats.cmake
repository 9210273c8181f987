# The Linux LV2 and Standalone builds of the same shared code target.
# Only what differs from the VST2 build is set here.

# The Standalone wrapper is built on the framework's audio device layer; JACK
# joins ALSA so the application can sit in a JACK graph (libjack is opened at
# run time, so the program still starts without it).
target_link_libraries(VRC PRIVATE juce::juce_audio_utils)
target_compile_definitions(VRC PRIVATE JUCE_JACK=1)

set_target_properties(VRC_Standalone PROPERTIES OUTPUT_NAME "VR-C")

# LV2: the project's own module (source/plugin/lv2) on the shared code, in a
# bundle beside the other formats' artefacts. Its Turtle files are written at
# build time by a small program from the same tables the module is built from.
find_package(PkgConfig REQUIRED)
pkg_check_modules(VRC_LV2_HEADERS REQUIRED IMPORTED_TARGET lv2)
set(vrc_lv2_dir "${CMAKE_SOURCE_DIR}/source/plugin/lv2")
set(VRC_LV2_BUNDLE "${CMAKE_BINARY_DIR}/VRC_artefacts/$<CONFIG>/LV2/VR-C.lv2")

add_executable(vrc_lv2_turtle "${vrc_lv2_dir}/Lv2TurtleMain.cpp")
target_include_directories(vrc_lv2_turtle PRIVATE "${CMAKE_SOURCE_DIR}/source")
target_compile_options(vrc_lv2_turtle PRIVATE ${VRC_WARNING_FLAGS})

add_library(VRC_LV2 MODULE "${vrc_lv2_dir}/Lv2Plugin.cpp" "${vrc_lv2_dir}/Lv2Ui.cpp")
vrc_use_shared_code(VRC_LV2)
target_link_libraries(VRC_LV2 PRIVATE PkgConfig::VRC_LV2_HEADERS)
target_compile_options(VRC_LV2 PRIVATE ${VRC_WARNING_FLAGS})
set_target_properties(VRC_LV2 PROPERTIES
    PREFIX "" OUTPUT_NAME "VR-C" LIBRARY_OUTPUT_DIRECTORY "${VRC_LV2_BUNDLE}"
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
add_custom_command(TARGET VRC_LV2 POST_BUILD
    COMMAND vrc_lv2_turtle "${VRC_LV2_BUNDLE}"
    VERBATIM)
add_dependencies(VRC_LV2 vrc_lv2_turtle)
add_dependencies(VRC_All VRC_LV2)
