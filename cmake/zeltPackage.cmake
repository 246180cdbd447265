# `cpack -G DEB` in the build tree: one Debian package holding the library,
# its headers, the CMake and pkg-config files and the zelt program, installed
# under /usr.
set(CPACK_PACKAGE_NAME zelt)
set(CPACK_PACKAGE_VENDOR "the zelt authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Whoever builds the package names themselves: -DZELT_PACKAGE_CONTACT="Name <address>".
set(ZELT_PACKAGE_CONTACT "zelt authors <maintainers@zelt.invalid>" CACHE STRING
  "Maintainer named in the packages, as \"Name <address>\"")
set(CPACK_PACKAGE_CONTACT "${ZELT_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZELT_PACKAGE_CONTACT}")
set(CPACK_GENERATOR DEB)
# Install with DESTDIR, so the install step sees the real prefix (/usr) and
# zelt.pc names it rather than the staging directory.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
# Follows the summary line; CPack indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "zelt writes typed values as flat, XML-like tagged elements into a
growable text buffer, one element per call, and reads them back in the
same order. This package holds the shared library, its C++ headers, the
CMake (find_package(zelt)) and pkg-config (zelt) files, and the zelt
program, which checks zelt texts and shows them as lines, XML or JSON.")
# Depends is worked out by dpkg-shlibdeps (from dpkg-dev) from what
# libzelt.so links; the shlibs file and ldconfig trigger come with it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)

include(CPack)
