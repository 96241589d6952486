# Delay-loaded system libraries for one program: each DLL named here is loaded
# by its first call instead of at process start, and stays loaded from then on
# (the delay-load table is its one owner). The libraries are found as usual
# (-lwininet and so on); the folder given to the program first holds
# delay-import libraries of the same names, built from the short .def files
# beside this one. A call into a function missing from a .def fails to link.
set(delay_import_dir ${CMAKE_BINARY_DIR}/delay_import)
file(MAKE_DIRECTORY ${delay_import_dir})
find_program(VELMARIN_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool x86_64-w64-mingw32-dlltool dlltool
             REQUIRED)

function(velmarin_delay_import target)
    # One folder per target: another target may load the same library at start.
    set(dir ${delay_import_dir}/${target})
    file(MAKE_DIRECTORY ${dir})
    foreach(name IN LISTS ARGN)
        set(def ${CMAKE_SOURCE_DIR}/cmake/delay_import/${name}.def)
        set(lib ${dir}/lib${name}.a)
        add_custom_command(
            OUTPUT ${lib}
            COMMAND ${VELMARIN_DLLTOOL} --input-def ${def} --output-delaylib ${lib}
            DEPENDS ${def}
            COMMENT "Delay-import library of ${name}"
            VERBATIM)
        list(APPEND libs ${lib})
    endforeach()
    add_custom_target(${target}_delay_import DEPENDS ${libs})
    add_dependencies(${target} ${target}_delay_import)
    # A changed list links the program again.
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libs})
    # Ahead of the system's import libraries of the same names.
    target_link_directories(${target} BEFORE PRIVATE ${dir})
    target_link_libraries(${target} PRIVATE delayimp)
endfunction()
