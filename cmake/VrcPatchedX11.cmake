# X11: the framework looks some window-manager atoms up "only if they exist" and
# then uses them even when they do not (an X server where no window manager has
# run), which raises BadAtom; a host that leaves X errors to Xlib's default
# handler then exits. The same happens when an editor's shared-memory image is
# dropped before a busy server has attached it (BadAccess). A patched copy of
# the GUI module (cmake/juce-patches/x11) skips such properties and waits for
# the server before removing a segment. (Windows builds have no X11 code.)
if(NOT WIN32)
    include(PatchedJuceModules)
    vrc_make_patched_juce_modules(vrc_patched_gui_modules
        SOURCE "${JUCE_MODULES_DIR}"
        DESTINATION "${CMAKE_BINARY_DIR}/juce-patched-gui-modules"
        PATCH_DIR "${CMAKE_SOURCE_DIR}/cmake/juce-patches/x11"
        MODULES juce_gui_basics)
    get_target_property(vrc_gui_sources juce_gui_basics INTERFACE_SOURCES)
    list(TRANSFORM vrc_gui_sources REPLACE "^${JUCE_MODULES_DIR}/" "${vrc_patched_gui_modules}/")
    set_property(TARGET juce_gui_basics PROPERTY INTERFACE_SOURCES ${vrc_gui_sources})
endif()
