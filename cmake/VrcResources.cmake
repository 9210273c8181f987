# The plug-in's pictures, built into the shared code as byte arrays
# (BinaryData::knobStrip80_png and so on). They are rendered by tools/artgen and
# committed; a test checks that the generator still reproduces them.
juce_add_binary_data(VrcBinaryData
    HEADER_NAME BinaryData.h
    NAMESPACE BinaryData
    SOURCES
        "${CMAKE_SOURCE_DIR}/resources/knobStrip80.png"
        "${CMAKE_SOURCE_DIR}/resources/knobStrip64.png"
        "${CMAKE_SOURCE_DIR}/resources/curveSwitchOff.png"
        "${CMAKE_SOURCE_DIR}/resources/curveSwitchOn.png"
        "${CMAKE_SOURCE_DIR}/resources/keyLamp.png"
        "${CMAKE_SOURCE_DIR}/resources/background.jpg")

# The plug-in is a shared library, so its static parts must be position independent.
set_target_properties(VrcBinaryData PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_link_libraries(VRC PUBLIC VrcBinaryData)
