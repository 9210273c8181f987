# vrc_make_patched_juce_modules(<out_var> SOURCE <dir> DESTINATION <dir> PATCH_DIR <dir>)
# Copies the installed framework modules into the build tree and applies every
# *.patch of PATCH_DIR (in name order, patch -p1 from the modules folder). The
# copy is redone only when the patches change; a failing patch stops the
# configure step, so a framework update that moves the patched code is noticed.
function(vrc_make_patched_juce_modules out_var)
    cmake_parse_arguments(ARG "" "SOURCE;DESTINATION;PATCH_DIR" "" ${ARGN})

    file(GLOB patches "${ARG_PATCH_DIR}/*.patch")
    list(SORT patches)
    set(fingerprint "${ARG_SOURCE}\n")
    foreach(patch IN LISTS patches)
        file(SHA256 "${patch}" patch_hash)
        string(APPEND fingerprint "${patch_hash}\n")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${patch}")
    endforeach()

    set(stamp "${ARG_DESTINATION}/.vrc-patched")
    set(previous "none")
    if(EXISTS "${stamp}")
        file(READ "${stamp}" previous)
    endif()

    if(NOT previous STREQUAL fingerprint)
        message(STATUS "Copying and patching the JUCE modules into ${ARG_DESTINATION}")
        file(REMOVE_RECURSE "${ARG_DESTINATION}")
        file(COPY "${ARG_SOURCE}/" DESTINATION "${ARG_DESTINATION}")
        find_program(VRC_PATCH_PROGRAM patch REQUIRED)
        foreach(patch IN LISTS patches)
            execute_process(
                COMMAND "${VRC_PATCH_PROGRAM}" -p1 --forward --batch --no-backup-if-mismatch -i "${patch}"
                WORKING_DIRECTORY "${ARG_DESTINATION}"
                RESULT_VARIABLE result
                OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
            if(NOT result EQUAL 0)
                message(FATAL_ERROR "Patch ${patch} does not apply to the JUCE modules:\n${output}")
            endif()
        endforeach()
        file(WRITE "${stamp}" "${fingerprint}")
    endif()

    set(${out_var} "${ARG_DESTINATION}" PARENT_SCOPE)
endfunction()
