# Windows-only additions to the targets of the top-level project, run once the
# top-level CMakeLists.txt has declared them (deferred from JUCEConfig.cmake).

function(vrc_windows_finish)
    # The export table: both entry points, at ordinals 1 and 2, one address.
    target_sources(VRC_VST PRIVATE "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/VR-C.def")

    if(TARGET VRC_VST3 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
        # 32-bit stdcall functions are exported as "GetPluginFactory@0"; hosts
        # look up the plain name, as MSVC builds export it.
        target_link_options(VRC_VST3 PRIVATE -Wl,--kill-at)
    endif()

    # Debian's fst header (the VST 2.4 declarations) sits in /usr/include, which
    # the cross compiler must not search as a whole: expose just its folder.
    set(fst_include "${CMAKE_BINARY_DIR}/fst-include")
    file(MAKE_DIRECTORY "${fst_include}/pluginterfaces")
    file(CREATE_LINK "/usr/include/pluginterfaces/fst" "${fst_include}/pluginterfaces/fst" SYMBOLIC)
    target_include_directories(VRC PUBLIC "${fst_include}")

    # The framework's Windows accessibility code declares interface identifiers
    # by specialising a template of namespace juce from a nested namespace. GCC
    # rejects that unless -fpermissive (MSVC accepts it); the specialisations
    # mean what they say, so the unit is compiled leniently.
    set_source_files_properties("${JUCE_MODULES_DIR}/juce_gui_basics/juce_gui_basics.cpp"
        PROPERTIES COMPILE_OPTIONS -fpermissive)

    # What scripts/build-windows.sh builds: the plug-in(s) and its test programs
    # (tests/CMakeLists.txt names the test folders that build for Windows), not
    # the Linux project's tools.
    add_custom_target(vrc_windows_all)
    add_dependencies(vrc_windows_all VRC_VST vrc_host_tests vrc_golden_tests vrc_crosscheck)
    if(TARGET VRC_VST3)
        add_dependencies(vrc_windows_all VRC_VST3)
    endif()
    if(TARGET VRC_CLAP)
        add_dependencies(vrc_windows_all VRC_CLAP vrc_clap_tests)
    endif()
endfunction()
