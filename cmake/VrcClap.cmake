# CLAP: the project's own module (source/plugin/clap) on the shared code, as
# VR-C.clap beside the other formats' artefacts. Hosts look up clap_entry only.
set(vrc_clap_dir "${CMAKE_SOURCE_DIR}/source/plugin/clap")
file(GLOB vrc_clap_sources CONFIGURE_DEPENDS "${vrc_clap_dir}/*.cpp")
# (the state stream reader is the folder's own library, vrc_clap_state_stream)
list(FILTER vrc_clap_sources EXCLUDE REGEX "/ClapStateStream\\.cpp$")
add_library(VRC_CLAP MODULE ${vrc_clap_sources})
vrc_use_shared_code(VRC_CLAP)
target_link_libraries(VRC_CLAP PRIVATE vrc_clap_state_stream)
target_compile_definitions(VRC_CLAP PRIVATE VRC_VERSION="${PROJECT_VERSION}")
target_compile_options(VRC_CLAP PRIVATE ${VRC_WARNING_FLAGS})
set_target_properties(VRC_CLAP PROPERTIES
    PREFIX "" SUFFIX ".clap" OUTPUT_NAME "VR-C"
    LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/VRC_artefacts/$<CONFIG>/CLAP"
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
if(TARGET VRC_All)
    add_dependencies(VRC_All VRC_CLAP)
endif()
