# vrc_make_patched_juce_modules(<out_var> SOURCE <dir> DESTINATION <dir> PATCH_DIR <dir>...
#                               [MODULES <module>...])
# Copies the installed framework modules (or only the MODULES named) into the
# build tree and applies every *.patch of each PATCH_DIR (in name order within a
# folder, patch -p1 from the modules folder). The
# copy is redone only when the patches change; a failing patch stops the
# configure step, so a framework update that moves the patched code is noticed.
function(vrc_make_patched_juce_modules out_var)
    cmake_parse_arguments(ARG "" "SOURCE;DESTINATION" "PATCH_DIR;MODULES" ${ARGN})

    set(patches "")
    foreach(dir IN LISTS ARG_PATCH_DIR)
        file(GLOB dir_patches "${dir}/*.patch")
        list(SORT dir_patches)
        list(APPEND patches ${dir_patches})
    endforeach()
    set(fingerprint "${ARG_SOURCE}\n${ARG_MODULES}\n")
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
        if(ARG_MODULES)
            foreach(module IN LISTS ARG_MODULES)
                file(COPY "${ARG_SOURCE}/${module}" DESTINATION "${ARG_DESTINATION}")
            endforeach()
        else()
            file(COPY "${ARG_SOURCE}/" DESTINATION "${ARG_DESTINATION}")
        endif()
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
