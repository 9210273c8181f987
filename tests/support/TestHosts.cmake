# The project's own plug-in hosts, as libraries the test folders link (the
# Linux tests through tests/CMakeLists.txt, the Windows build through
# tests/windows/CMakeLists.txt):
#   vrc_test_library_loader  opens a shared library or DLL by path
#   vrc_test_vst2_host       VR-C.so / VR-C.dll through the VST 2.4 binary interface,
#                            with a host window for its editor (sources in tests/host)
#   vrc_test_vst3_host       a VST3 bundle's binary through the SDK's interfaces only
#   vrc_test_x_errors        (Linux) X errors counted instead of ending the program
if(TARGET vrc_test_vst2_host)
    return()
endif()

set(vrc_host_dir "${CMAKE_CURRENT_LIST_DIR}/../host")
if(WIN32)
    add_library(vrc_test_library_loader STATIC "${vrc_host_dir}/DynamicLibraryWin32.cpp")
    set(vrc_host_window_source "${vrc_host_dir}/HostWindowWin32.cpp")
    set(vrc_host_window_libraries user32)
else()
    find_package(X11 REQUIRED)
    add_library(vrc_test_library_loader STATIC "${vrc_host_dir}/DynamicLibraryPosix.cpp")
    target_link_libraries(vrc_test_library_loader PUBLIC ${CMAKE_DL_LIBS})
    set(vrc_host_window_source "${vrc_host_dir}/HostWindowX11.cpp")
    set(vrc_host_window_libraries X11::X11)
endif()
target_include_directories(vrc_test_library_loader PUBLIC "${vrc_host_dir}")
target_link_libraries(vrc_test_library_loader PRIVATE vrc_warnings)

# Which VR-C library the host suite loads is fixed when the host is built.
add_library(vrc_test_vst2_host STATIC "${vrc_host_dir}/TestHost.cpp" ${vrc_host_window_source})
target_include_directories(vrc_test_vst2_host PUBLIC "${CMAKE_SOURCE_DIR}/source" "${CMAKE_CURRENT_LIST_DIR}")
target_compile_definitions(vrc_test_vst2_host PRIVATE VRC_PLUGIN_PATH="$<TARGET_FILE:VRC_VST>")
target_link_libraries(vrc_test_vst2_host
    PUBLIC vrc_test_library_loader GTest::gtest ${vrc_host_window_libraries}
    PRIVATE vrc_warnings vrc_strict_float)
add_dependencies(vrc_test_vst2_host VRC_VST)

add_library(vrc_test_vst3_host STATIC "${CMAKE_CURRENT_LIST_DIR}/Vst3TestHost.cpp")
target_include_directories(vrc_test_vst3_host PUBLIC "${CMAKE_CURRENT_LIST_DIR}")
# The SDK's interface headers ship with the framework.
target_include_directories(vrc_test_vst3_host SYSTEM PUBLIC "${JUCE_MODULES_DIR}/juce_audio_processors/format_types/VST3_SDK")
target_link_libraries(vrc_test_vst3_host PUBLIC vrc_test_library_loader PRIVATE vrc_warnings)

if(NOT WIN32)
    add_library(vrc_test_x_errors STATIC "${CMAKE_CURRENT_LIST_DIR}/HostXErrors.cpp")
    target_include_directories(vrc_test_x_errors PUBLIC "${CMAKE_CURRENT_LIST_DIR}")
    target_link_libraries(vrc_test_x_errors PUBLIC X11::X11 PRIVATE vrc_warnings)
endif()

# The test host and the plug-in declare the VST types independently; clang's
# function-type check would flag every call across that boundary.
if(VRC_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(vrc_test_vst2_host PUBLIC -fno-sanitize=function)
endif()
