# `cpack -G DEB` in the build tree: the Debian packages, split as Debian
# ships a library. Configure for /usr (the `deb` preset) so that the library
# goes to the multiarch folder, /usr/lib/<triplet>.
#   libzelt1     the shared object, named after its SONAME
#   libzelt-dev  headers, the unversioned link, CMake and pkg-config files
#   zelt         the zelt program and its manual page
# docs/packaging.md says how to build them and what lintian reports.
set(CPACK_PACKAGE_NAME zelt)
set(CPACK_PACKAGE_VENDOR "the zelt authors")
# CPack's own default summary: with it, CPack puts no common first line
# before each package's description, whose own first line is its synopsis.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
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

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
if(TARGET zelt_tool)
  list(APPEND CPACK_COMPONENTS_ALL program)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE zelt)
# The Debian revision is the newest entry's of cmake/debian/changelog, which
# must be for this release: a packaging change adds an entry there.
set(zelt_debian_dir "${CMAKE_CURRENT_LIST_DIR}/debian")
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${zelt_debian_dir}/changelog")
file(STRINGS "${zelt_debian_dir}/changelog" zelt_deb_entry LIMIT_COUNT 1)
if(NOT zelt_deb_entry MATCHES "^zelt \\(${PROJECT_VERSION}-([0-9]+)\\) ")
  message(FATAL_ERROR "cmake/debian/changelog: the newest entry, \"${zelt_deb_entry}\", is not for ${PROJECT_VERSION}")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE "${CMAKE_MATCH_1}")
set(zelt_deb_version "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
set(zelt_runtime_package "libzelt${PROJECT_VERSION_MAJOR}")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME "${zelt_runtime_package}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "typed values to flat tagged text and back - shared library
zelt writes typed values as flat, XML-like tagged elements into a growable
text buffer, one element per call, and reads them back in the same order.
This package holds the shared library.")
# The shlibs file tells dpkg-shlibdeps what a program linked with the library
# depends on (only libzelt1 holds a shared object to list); the trigger has
# ldconfig refresh its cache once per dpkg run, in place of the maintainer
# scripts calling ldconfig that CPack adds and the post-build script drops.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA "${zelt_debian_dir}/triggers")
set(CPACK_POST_BUILD_SCRIPTS "${zelt_debian_dir}/drop-ldconfig-scripts.cmake")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libzelt-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${zelt_runtime_package} (= ${zelt_deb_version})")
# Up to 1.1.0-1 one package, zelt, held everything: the headers move here.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_BREAKS "zelt (<< 1.1.0-2)")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_REPLACES "zelt (<< 1.1.0-2)")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "typed values to flat tagged text and back - development files
zelt writes typed values as flat, XML-like tagged elements into a growable
text buffer, one element per call, and reads them back in the same order.
This package holds the C++ headers, the link for -lzelt and the CMake
(find_package(zelt)) and pkg-config (zelt) files.")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME zelt)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "check zelt texts and show them as lines, XML or JSON
zelt texts are flat, XML-like tagged elements written by the zelt library.
The zelt program reports the first element of a text that cannot be read,
as compilers report errors, and writes the elements as tab-separated lines,
an XML document or JSON Lines.")

# Depends of the library and the program are worked out by dpkg-shlibdeps
# (from dpkg-dev) from what they link. It finds the program's libzelt.so.1 in
# the build tree but knows no package for it, so that one is named here, as
# the library's shlibs file names it.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${PROJECT_BINARY_DIR}")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "${zelt_runtime_package} (>= ${PROJECT_VERSION})")

# Every package carries the licence and the Debian changelog in its own
# /usr/share/doc folder. Only the packages take these (EXCLUDE_FROM_ALL): a
# plain install keeps share/doc/zelt/copyright alone.
set(zelt_deb_changelog "${PROJECT_BINARY_DIR}/deb/changelog.Debian")
configure_file("${zelt_debian_dir}/changelog" "${zelt_deb_changelog}" COPYONLY)
execute_process(COMMAND gzip -9nf "${zelt_deb_changelog}" COMMAND_ERROR_IS_FATAL ANY)
foreach(component runtime development program)
  string(TOUPPER ${component} upper)
  set(package "${CPACK_DEBIAN_${upper}_PACKAGE_NAME}")
  install(FILES "${zelt_deb_changelog}.gz" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}"
    COMPONENT ${component} EXCLUDE_FROM_ALL)
  # The program's package has its licence from the plain install already.
  if(NOT "${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}" STREQUAL CMAKE_INSTALL_DOCDIR)
    install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}"
      RENAME copyright COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
endforeach()

include(CPack)
