# One interface target carries the language standard, the warnings and the
# strictness defines; every library and test links it.
add_library(lianshuo_options INTERFACE)
target_compile_features(lianshuo_options INTERFACE cxx_std_20)
target_compile_options(lianshuo_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wunused -Woverloaded-virtual -Wimplicit-fallthrough -Wold-style-cast -Wcast-qual)
target_compile_definitions(lianshuo_options INTERFACE
    LIANSHUO_FAULT_SEAM=$<BOOL:${LIANSHUO_FAULT_SEAM}>
    _GLIBCXX_ASSERTIONS QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_FORCE_ASSERTS
    QT_NO_CONTEXTLESS_CONNECT)
# GCC 12 reports std::string concatenation at -O3 as overlapping memcpy
# (a known false positive of -Wrestrict, fixed in GCC 13).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(lianshuo_options INTERFACE -Wno-restrict)
endif()
if(LIANSHUO_WERROR)
    target_compile_options(lianshuo_options INTERFACE -Werror)
endif()

if(LIANSHUO_SANITIZE)
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_FLAGS "-fsanitize=${LIANSHUO_SANITIZE}")
    set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=${LIANSHUO_SANITIZE}")
    check_cxx_source_compiles("int main() { return 0; }" LIANSHUO_HAS_SANITIZERS)
    unset(CMAKE_REQUIRED_FLAGS)
    unset(CMAKE_REQUIRED_LINK_OPTIONS)
    if(NOT LIANSHUO_HAS_SANITIZERS)
        message(FATAL_ERROR "The compiler does not support -fsanitize=${LIANSHUO_SANITIZE}")
    endif()
    target_compile_options(lianshuo_options INTERFACE
        -fsanitize=${LIANSHUO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(lianshuo_options INTERFACE -fsanitize=${LIANSHUO_SANITIZE})
endif()

# GB18030 literals for the core (checked: GbkLiterals.cmake) and the generated
# version header (Version.cmake).
include(GbkLiterals)
include(Version)

# Declares a static library of one folder of src/, with src/ as its include root.
function(lianshuo_add_library name)
    cmake_parse_arguments(ARG "UTF16_LITERALS" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC lianshuo_options ${ARG_PUBLIC_LIBS}
                          PRIVATE ${ARG_PRIVATE_LIBS})
    if(NOT ARG_UTF16_LITERALS)
        target_link_libraries(${name} PRIVATE lianshuo_gbk)
    endif()
endfunction()
