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
target_link_libraries(vrc_lv2_turtle PRIVATE PkgConfig::VRC_LV2_HEADERS)
# The general vocabularies the Turtle uses besides LV2's own (doap, foaf, rdf,
# rdfs) have no header macros; their namespaces are taken from the LV2 core
# bundle installed with the headers, which declares them, into a header (a
# definition holding '#' cannot go on the command line).
pkg_get_variable(vrc_lv2_prefix lv2 prefix)
find_file(VRC_LV2_CORE_TTL lv2core.ttl REQUIRED NO_DEFAULT_PATH
    PATHS "${vrc_lv2_prefix}/lib/lv2/core.lv2" "${vrc_lv2_prefix}/lib/${CMAKE_LIBRARY_ARCHITECTURE}/lv2/core.lv2")
get_filename_component(vrc_lv2_core_bundle "${VRC_LV2_CORE_TTL}" DIRECTORY)
file(GLOB vrc_lv2_core_files "${vrc_lv2_core_bundle}/*.ttl")
set(vrc_namespaces_header "#pragma once\n")
foreach(vocabulary doap foaf rdf rdfs)
    set(vrc_namespace "")
    foreach(vrc_ttl IN LISTS vrc_lv2_core_files)
        file(STRINGS "${vrc_ttl}" vrc_prefix_line REGEX "^@prefix ${vocabulary}: <[^>]+> \\.$" LIMIT_COUNT 1)
        if(vrc_prefix_line)
            string(REGEX REPLACE "^@prefix ${vocabulary}: <([^>]+)> \\.$" "\\1" vrc_namespace "${vrc_prefix_line}")
            break()
        endif()
    endforeach()
    if(NOT vrc_namespace MATCHES "[#/]$")
        message(FATAL_ERROR "no ${vocabulary} namespace in ${vrc_lv2_core_bundle}")
    endif()
    string(TOUPPER "${vocabulary}" vrc_vocabulary_name)
    string(APPEND vrc_namespaces_header "#define VRC_NS_${vrc_vocabulary_name} \"${vrc_namespace}\"\n")
endforeach()
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/generated/lv2/Lv2Namespaces.h" CONTENT "${vrc_namespaces_header}")
target_include_directories(vrc_lv2_turtle PRIVATE "${CMAKE_BINARY_DIR}/generated/lv2")
target_compile_options(vrc_lv2_turtle PRIVATE ${VRC_WARNING_FLAGS})

add_library(VRC_LV2 MODULE "${vrc_lv2_dir}/Lv2Plugin.cpp" "${vrc_lv2_dir}/Lv2Ui.cpp")
vrc_use_shared_code(VRC_LV2)
target_link_libraries(VRC_LV2 PRIVATE vrc_lv2_state_text PkgConfig::VRC_LV2_HEADERS)
target_compile_options(VRC_LV2 PRIVATE ${VRC_WARNING_FLAGS})
set_target_properties(VRC_LV2 PROPERTIES
    PREFIX "" OUTPUT_NAME "VR-C" LIBRARY_OUTPUT_DIRECTORY "${VRC_LV2_BUNDLE}"
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
# The Turtle names the licence as the bundle's LICENSE file, so a copied bundle keeps it.
add_custom_command(TARGET VRC_LV2 POST_BUILD
    COMMAND vrc_lv2_turtle "${VRC_LV2_BUNDLE}"
    COMMAND "${CMAKE_COMMAND}" -E copy "${CMAKE_SOURCE_DIR}/LICENSE" "${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.md"
        "${VRC_LV2_BUNDLE}/"
    VERBATIM)
add_dependencies(VRC_LV2 vrc_lv2_turtle)
add_dependencies(VRC_All VRC_LV2)
