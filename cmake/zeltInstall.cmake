# Install rules: the library with its SONAME links, the public headers under
# include/zelt, a CMake package (zelt::zelt), a pkg-config file, the zelt
# program with its manual page, and the licence. Each file belongs to the
# component of the Debian package that ships it: runtime (the shared object),
# development (headers, the unversioned link, CMake and pkg-config files) or
# program (zelt and its manual page); a plain install takes all three.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(zelt_cmake_dir "${CMAKE_INSTALL_LIBDIR}/cmake/zelt")

# zelt_warnings is linked privately, and a shared library's private links do
# not reach its export set, so only zelt itself is exported.
install(TARGETS zelt EXPORT zeltTargets # to CMAKE_INSTALL_LIBDIR
  LIBRARY COMPONENT runtime NAMELINK_COMPONENT development)
# The command-line tool, when it is built; a program, so not exported. Its
# manual page is installed compressed, as man finds it and Debian wants it.
if(TARGET zelt_tool)
  install(TARGETS zelt_tool COMPONENT program) # to CMAKE_INSTALL_BINDIR
  set(zelt_man_page "${PROJECT_BINARY_DIR}/man/zelt.1")
  add_custom_command(OUTPUT "${zelt_man_page}.gz"
    COMMAND "${CMAKE_COMMAND}" -E copy "${PROJECT_SOURCE_DIR}/docs/zelt.1" "${zelt_man_page}"
    COMMAND gzip -9nf "${zelt_man_page}"
    DEPENDS "${PROJECT_SOURCE_DIR}/docs/zelt.1"
    COMMENT "zelt: compressing the manual page zelt(1)"
    VERBATIM)
  add_custom_target(zelt_man_page ALL DEPENDS "${zelt_man_page}.gz")
  install(FILES "${zelt_man_page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT program)
endif()
# The licence, named as Debian expects a package's: share/doc/zelt/copyright.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DOCDIR}" RENAME copyright
  COMPONENT program)
list(TRANSFORM ZELT_PUBLIC_HEADERS PREPEND "${PROJECT_SOURCE_DIR}/" OUTPUT_VARIABLE zelt_header_paths)
install(FILES ${zelt_header_paths}
  DESTINATION include/zelt # the target's INSTALL_INTERFACE include directory
  COMPONENT development)

install(EXPORT zeltTargets NAMESPACE zelt:: DESTINATION "${zelt_cmake_dir}" COMPONENT development)
configure_package_config_file("${CMAKE_CURRENT_LIST_DIR}/zeltConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/zeltConfig.cmake"
  INSTALL_DESTINATION "${zelt_cmake_dir}")
# A new major version may break the interface; minor versions only add to it.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/zeltConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/zeltConfig.cmake" "${PROJECT_BINARY_DIR}/zeltConfigVersion.cmake"
  DESTINATION "${zelt_cmake_dir}" COMPONENT development)

# zelt.pc names its prefix in full, and the prefix is only known at install
# time (`cmake --install --prefix`, a package's /usr). So the template is filled
# in twice: now with everything but the prefix, then by the install step.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(zelt_pc_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
else()
  set(zelt_pc_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
set(zelt_pc_PREFIX "@CMAKE_INSTALL_PREFIX@")
configure_file("${CMAKE_CURRENT_LIST_DIR}/zelt.pc.in" "${PROJECT_BINARY_DIR}/zelt.pc.in" @ONLY)
install(CODE "configure_file(\"${PROJECT_BINARY_DIR}/zelt.pc.in\" \"${PROJECT_BINARY_DIR}/zelt.pc\" @ONLY)"
  COMPONENT development)
install(FILES "${PROJECT_BINARY_DIR}/zelt.pc" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig" COMPONENT development)

# Packaging belongs to a top-level build; a parent project has its own CPack setup.
if(ZELT_TOP_LEVEL)
  include("${CMAKE_CURRENT_LIST_DIR}/zeltPackage.cmake")
endif()
