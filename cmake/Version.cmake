# The one version of the program: project(VERSION) in the top-level
# CMakeLists.txt. The command line, the main window's title and the package all
# read it from here, through the generated header version.h.
if(PROJECT_VERSION_TWEAK STREQUAL "")
    set(LIANSHUO_WINDOW_VERSION ${PROJECT_VERSION}.0)
else()
    set(LIANSHUO_WINDOW_VERSION ${PROJECT_VERSION})
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${PROJECT_BINARY_DIR}/generated/version.h @ONLY)
target_include_directories(lianshuo_options INTERFACE ${PROJECT_BINARY_DIR}/generated)
