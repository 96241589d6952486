# Libraries from Debian: system packages natively, Debian's source packages
# compiled by us for Windows.

if(WIN32)
    file(GLOB tinyxml_dir LIST_DIRECTORIES true "${VELMARIN_DEPS_SRC}/tinyxml-[0-9]*")
    file(GLOB expat_dir LIST_DIRECTORIES true "${VELMARIN_DEPS_SRC}/expat-[0-9]*")
    if(NOT tinyxml_dir OR NOT expat_dir)
        message(FATAL_ERROR "Debian's tinyxml and expat sources are missing in ${VELMARIN_DEPS_SRC}; "
                            "run scripts/fetch-sources.sh ${VELMARIN_DEPS_SRC}")
    endif()
    add_library(tinyxml STATIC
        ${tinyxml_dir}/tinyxml.cpp ${tinyxml_dir}/tinystr.cpp
        ${tinyxml_dir}/tinyxmlerror.cpp ${tinyxml_dir}/tinyxmlparser.cpp)
    target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
    target_include_directories(tinyxml SYSTEM PUBLIC ${tinyxml_dir})
    target_compile_options(tinyxml PRIVATE -w)

    foreach(opt TOOLS EXAMPLES TESTS DOCS FUZZERS PKGCONFIG)
        set(EXPAT_BUILD_${opt} OFF CACHE BOOL "" FORCE)
    endforeach()
    set(EXPAT_SHARED_LIBS OFF CACHE BOOL "" FORCE)
    # Debian's patched source tests "XML_DTD == 1", which its CMake configuration
    # defines empty; SOAP replies carry no DTD, so leave DTD support out.
    set(EXPAT_DTD OFF CACHE BOOL "" FORCE)
    set(EXPAT_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
    add_subdirectory(${expat_dir}/expat ${CMAKE_BINARY_DIR}/expat EXCLUDE_FROM_ALL)
    target_compile_options(expat PRIVATE -w)
    target_compile_definitions(expat PUBLIC XML_STATIC)

    # libsodium for the update signature: every source of the library, built
    # the way its own portable configuration would (no CPU-specific paths).
    file(GLOB sodium_dir LIST_DIRECTORIES true "${VELMARIN_DEPS_SRC}/libsodium-[0-9]*")
    if(NOT sodium_dir)
        message(FATAL_ERROR "Debian's libsodium source is missing in ${VELMARIN_DEPS_SRC}; "
                            "run scripts/fetch-sources.sh ${VELMARIN_DEPS_SRC}")
    endif()
    file(GLOB_RECURSE sodium_sources ${sodium_dir}/src/libsodium/*.c)
    string(REGEX MATCH "[0-9.]+$" VERSION "${sodium_dir}")
    set(SODIUM_LIBRARY_VERSION_MAJOR 10)
    set(SODIUM_LIBRARY_VERSION_MINOR 3)
    set(SODIUM_LIBRARY_MINIMAL_DEF "")
    # Its headers with the version.h that its configure script would write.
    set(sodium_include ${CMAKE_BINARY_DIR}/sodium/include)
    file(COPY ${sodium_dir}/src/libsodium/include/ DESTINATION ${sodium_include} PATTERN "*.in" EXCLUDE)
    configure_file(${sodium_dir}/src/libsodium/include/sodium/version.h.in ${sodium_include}/sodium/version.h @ONLY)
    add_library(sodium STATIC ${sodium_sources})
    target_include_directories(sodium SYSTEM PUBLIC ${sodium_include})
    target_include_directories(sodium PRIVATE ${sodium_include}/sodium)
    target_compile_definitions(sodium PUBLIC SODIUM_STATIC PRIVATE CONFIGURED=1 NATIVE_LITTLE_ENDIAN=1)
    target_compile_options(sodium PRIVATE -w)
    target_link_libraries(sodium PRIVATE advapi32)
else()
    find_library(TINYXML_LIB tinyxml REQUIRED)
    add_library(tinyxml INTERFACE)
    target_link_libraries(tinyxml INTERFACE ${TINYXML_LIB})
    target_compile_definitions(tinyxml INTERFACE TIXML_USE_STL)
    find_package(EXPAT REQUIRED)
    add_library(expat INTERFACE)
    target_link_libraries(expat INTERFACE EXPAT::EXPAT)
    find_library(SODIUM_LIB sodium REQUIRED)
    add_library(sodium INTERFACE)
    target_link_libraries(sodium INTERFACE ${SODIUM_LIB})
endif()

if(NOT VELMARIN_FUZZ)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# Adds every .cpp of the calling folder to TARGET; files ending in _win.cpp
# build only for Windows and files ending in _posix.cpp only natively.
function(velmarin_glob_sources target)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(src IN LISTS sources)
        if(WIN32 AND src MATCHES "_posix\\.cpp$")
            continue()
        elseif(NOT WIN32 AND src MATCHES "_win\\.cpp$")
            continue()
        endif()
        target_sources(${target} PRIVATE ${src})
    endforeach()
endfunction()
