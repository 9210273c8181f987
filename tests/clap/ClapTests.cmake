# The CLAP host and its tests against VR-C.clap, for the Linux build
# (tests/clap/CMakeLists.txt) and the Windows build (tests/windows), which
# both include this file:
#   vrc_test_clap_host  the project's CLAP host (ClapTestHost.h), loading VR-C.clap by path
#   vrc_clap_tests      factory, ports, params, audio, state, and the layout check
set(vrc_clap_tests_dir "${CMAKE_CURRENT_LIST_DIR}")
add_library(vrc_test_clap_host STATIC "${vrc_clap_tests_dir}/ClapTestHost.cpp")
target_include_directories(vrc_test_clap_host PUBLIC "${vrc_clap_tests_dir}" "${CMAKE_SOURCE_DIR}/source")
target_compile_definitions(vrc_test_clap_host PRIVATE VRC_CLAP_PATH="$<TARGET_FILE:VRC_CLAP>")
target_link_libraries(vrc_test_clap_host PUBLIC vrc_test_library_loader PRIVATE vrc_warnings)
add_dependencies(vrc_test_clap_host VRC_CLAP)

add_executable(vrc_clap_tests "${vrc_clap_tests_dir}/ClapHostTests.cpp" "${vrc_clap_tests_dir}/ClapLayoutTest.cpp")
target_include_directories(vrc_clap_tests PRIVATE "${CMAKE_SOURCE_DIR}/tests/support")
target_compile_definitions(vrc_clap_tests PRIVATE
    VRC_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data" VRC_EXPECTED_VERSION="${PROJECT_VERSION}")
target_link_libraries(vrc_clap_tests PRIVATE
    vrc_test_clap_host vrc_test_vst2_host vrc_dsp GTest::gtest_main vrc_warnings vrc_strict_float)
gtest_discover_tests(vrc_clap_tests DISCOVERY_TIMEOUT 600 PROPERTIES LABELS clap TIMEOUT 300)

# Host and plug-in declare the CLAP types each in their own binary; clang's
# function-type check would flag every call across that boundary.
if(VRC_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(vrc_test_clap_host PUBLIC -fno-sanitize=function)
endif()
