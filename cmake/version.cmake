# One version for every shipped file: the project's version, written into a
# header for the resources and into each binary's VERSIONINFO.
set(VELMARIN_PUBLISHER "Velmarin")
set(VELMARIN_COPYRIGHT "Copyright (C) 2026 Velmarin")
set(VELMARIN_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${VELMARIN_GENERATED_DIR}/velmarin_version.h @ONLY)

# Adds a VERSIONINFO resource to target, whose output file is file_name.
function(velmarin_version_resource target file_name description)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(VELMARIN_RC_FILETYPE VFT_APP)
    else()
        set(VELMARIN_RC_FILETYPE VFT_DLL)
    endif()
    set(VELMARIN_RC_FILENAME ${file_name})
    set(VELMARIN_RC_DESCRIPTION ${description})
    get_filename_component(VELMARIN_RC_INTERNAL ${file_name} NAME_WE)
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    target_include_directories(${target} PRIVATE ${VELMARIN_GENERATED_DIR})
endfunction()
