# Texts inside the program are GB18030 (GBK) byte strings, so narrow string
# literals must be emitted in that charset; the windows use UTF-16 literals and
# convert at the edge. A compiler that silently wrote UTF-8 instead would build
# a program that writes wrong keys into the user's settings file, so the
# configuration checks the bytes of a literal and refuses such a compiler.
#
# clang can only emit UTF-8 literals. A clang build that makes only the fuzz
# targets (the fuzz preset) is still allowed: its texts are consistently UTF-8,
# nothing it builds touches a settings file, and the program itself is left
# out of it (LIANSHUO_BUILD_PROGRAM is OFF).
include(CheckCXXSourceCompiles)

set(lianshuo_gbk_flags -finput-charset=UTF-8 -fexec-charset=GB18030)
list(JOIN lianshuo_gbk_flags " " CMAKE_REQUIRED_FLAGS)
check_cxx_source_compiles([=[
// 蓝 is C0 B6 and · is A1 A4 in GB18030; UTF-8 would give E8 93 9D and C2 B7.
constexpr const char kTitle[] = "蓝棠·链梭";
static_assert(sizeof kTitle == 11, "five characters of two bytes each");
static_assert(static_cast<unsigned char>(kTitle[0]) == 0xC0 &&
              static_cast<unsigned char>(kTitle[1]) == 0xB6 &&
              static_cast<unsigned char>(kTitle[4]) == 0xA1 &&
              static_cast<unsigned char>(kTitle[5]) == 0xA4, "GB18030 bytes");
int main() { return 0; }
]=] LIANSHUO_GB18030_LITERALS)
unset(CMAKE_REQUIRED_FLAGS)

add_library(lianshuo_gbk INTERFACE)
set(LIANSHUO_BUILD_PROGRAM ON)
if(LIANSHUO_GB18030_LITERALS)
    target_compile_options(lianshuo_gbk INTERFACE ${lianshuo_gbk_flags})
elseif(LIANSHUO_FUZZ AND NOT LIANSHUO_GUI AND NOT LIANSHUO_TESTS AND NOT LIANSHUO_BENCH)
    message(STATUS "${CMAKE_CXX_COMPILER_ID} cannot write GB18030 literals: building the fuzz "
                   "targets only, with UTF-8 literals, and not the program")
    set(LIANSHUO_BUILD_PROGRAM OFF)
else()
    message(FATAL_ERROR
        "${CMAKE_CXX_COMPILER} cannot write GB18030 string literals "
        "(-fexec-charset=GB18030), so the program would write wrong bytes into its settings "
        "file. Build with GCC (the dev, asan and release presets); clang is only good for the "
        "fuzz targets (the fuzz preset). See CMakeFiles/CMakeConfigureLog.yaml or "
        "CMakeFiles/CMakeError.log for the compiler's answer.")
endif()
