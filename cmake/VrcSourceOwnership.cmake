# vrc_check_source_ownership(): no folder compiles another's sources.
# A file belongs to the nearest folder above it that has a CMakeLists.txt; that
# folder builds it, and other folders link its libraries. A second folder
# compiling the same file gets other flags and definitions than its owner, and
# nobody sees that it depends on that code. Fails the configure step when a
# target (its SOURCES and INTERFACE_SOURCES) lists one of the project's
# translation units that
#   - lies outside the folder that defines the target,
#   - belongs to a subfolder of it (the top-level folder excepted: it builds
#     the plug-in from source/, cmake/VrcPlugin.cmake, around the small
#     libraries some of those folders have), or
#   - is also listed by a target of another folder.
# The project's own files only: what lies outside the source tree (the
# framework's modules) or inside the build tree (generated code, patched
# framework copies) is not checked, nor are headers, which are included, not
# compiled.
function(vrc_check_source_ownership)
    # Every folder of the build, the top first.
    set(folders "")
    set(pending "${CMAKE_SOURCE_DIR}")
    while(pending)
        list(POP_FRONT pending dir)
        list(APPEND folders "${dir}")
        get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
        list(APPEND pending ${subdirs})
    endwhile()

    set(listed_files "")
    set(problems "")
    foreach(dir IN LISTS folders)
        file(RELATIVE_PATH dir_name "${CMAKE_SOURCE_DIR}" "${dir}")
        if(dir_name STREQUAL "")
            set(dir_name ".")
        endif()

        get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
        foreach(target IN LISTS targets)
            get_target_property(sources ${target} SOURCES)
            get_target_property(interface_sources ${target} INTERFACE_SOURCES)
            foreach(source IN LISTS sources interface_sources)
                # Generator expressions ($<TARGET_OBJECTS:...>) name targets, not files.
                if(source MATCHES "-NOTFOUND$" OR source MATCHES "\\$<"
                   OR NOT source MATCHES "\\.(c|cc|cpp|cxx|m|mm)$")
                    continue()
                endif()
                if(NOT IS_ABSOLUTE "${source}")
                    set(source "${dir}/${source}")
                endif()
                cmake_path(NORMAL_PATH source)
                cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${source}" NORMALIZE generated)
                cmake_path(IS_PREFIX CMAKE_SOURCE_DIR "${source}" NORMALIZE ours)
                if(generated OR NOT ours)
                    continue()
                endif()
                file(RELATIVE_PATH file_name "${CMAKE_SOURCE_DIR}" "${source}")

                # The folder the file belongs to: the nearest one above it in the build.
                cmake_path(GET source PARENT_PATH owner)
                while(NOT owner IN_LIST folders)
                    cmake_path(GET owner PARENT_PATH owner)
                endwhile()
                file(RELATIVE_PATH owner_name "${CMAKE_SOURCE_DIR}" "${owner}")
                if(owner_name STREQUAL "")
                    set(owner_name ".")
                endif()

                cmake_path(IS_PREFIX dir "${source}" NORMALIZE inside)
                if(NOT inside)
                    list(APPEND problems "${dir_name}: ${target} compiles ${file_name}, which belongs to ${owner_name}")
                    continue()
                endif()
                if(NOT dir STREQUAL CMAKE_SOURCE_DIR AND NOT owner STREQUAL dir)
                    list(APPEND problems
                        "${dir_name}: ${target} compiles ${file_name}, which belongs to its subfolder ${owner_name}")
                    continue()
                endif()

                # Who lists the file, to find those listed from more than one folder.
                string(MD5 key "${file_name}")
                if(NOT DEFINED folders_${key})
                    list(APPEND listed_files "${file_name}")
                    set(folders_${key} "")
                    set(users_${key} "")
                endif()
                list(APPEND folders_${key} "${dir_name}")
                list(APPEND users_${key} "${dir_name} (${target})")
            endforeach()
        endforeach()
    endforeach()

    foreach(file_name IN LISTS listed_files)
        string(MD5 key "${file_name}")
        list(REMOVE_DUPLICATES folders_${key})
        list(LENGTH folders_${key} folder_count)
        if(folder_count GREATER 1)
            list(JOIN users_${key} ", " users)
            list(APPEND problems "${file_name} is compiled in more than one folder: ${users}")
        endif()
    endforeach()

    if(problems)
        list(REMOVE_DUPLICATES problems)
        list(JOIN problems "\n  " text)
        message(FATAL_ERROR "A folder compiles another folder's sources:\n  ${text}\n"
            "Each folder compiles only its own files. Link a library that the folder "
            "owning the file defines in its CMakeLists.txt (add one there if it has "
            "none) instead of listing the file again.")
    endif()
endfunction()
