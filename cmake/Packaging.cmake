# `make package`: a Debian package of what `cmake --install` installs. The
# dependencies on shared libraries come from dpkg-shlibdeps; libcurl is loaded
# at run time (src/http/curlloader.cpp), so no linker line names it and it is
# listed by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lianshuo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lantang Software")
set(CPACK_PACKAGE_CONTACT "Lantang Software <lianshuo@lantang.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn long web addresses into short ones")
set(CPACK_PACKAGE_DESCRIPTION "\
蓝棠·链梭 (lianshuo) turns long web addresses into short ones through public
short-link services or through short-link interfaces that the user defines as
data: a pasted list, or every address inside the files of a folder. A command
line runs the same conversions without a window.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.lantang.example/lianshuo/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4 | libcurl3-gnutls")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "ca-certificates, fonts-wqy-microhei | fonts-noto-cjk, libsecret-1-0")

include(CPack)
