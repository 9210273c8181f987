# Version check for the 32-bit Windows stand-in of Debian's JUCE configuration.
# Debian's own version file refuses any target whose pointer size differs from
# the build machine's; the module sources themselves are portable, so only the
# version is checked here.
set(PACKAGE_VERSION "7.0.5")
if(PACKAGE_FIND_VERSION VERSION_EQUAL PACKAGE_VERSION)
    set(PACKAGE_VERSION_COMPATIBLE TRUE)
    set(PACKAGE_VERSION_EXACT TRUE)
else()
    set(PACKAGE_VERSION_COMPATIBLE FALSE)
endif()
