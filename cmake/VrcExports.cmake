# vrc_export_only(target SYMBOL...): the binary's dynamic symbol table holds
# exactly these names. Hidden visibility already keeps our own code private,
# but the framework marks some of its functions for export in its sources; a
# version script makes the list the one place that decides. On Windows the
# export table comes from the entry points' dllexport and the module
# definition file instead (PE has no version scripts).
function(vrc_export_only target)
    if(NOT TARGET ${target} OR WIN32)
        return()
    endif()
    list(JOIN ARGN ";\n        " names)
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}.exports")
    file(WRITE "${script}.in" "{\n    global:\n        ${names};\n    local:\n        *;\n};\n")
    configure_file("${script}.in" "${script}" COPYONLY)
    target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${script}")
    set_property(TARGET ${target} PROPERTY VRC_EXPORTS ${ARGN})
endfunction()
