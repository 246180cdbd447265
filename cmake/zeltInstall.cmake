# Install rules: the library with its SONAME links, the public headers under
# include/zelt, a CMake package (zelt::zelt), a pkg-config file, the zelt
# program and the licence.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(zelt_cmake_dir "${CMAKE_INSTALL_LIBDIR}/cmake/zelt")

# zelt_warnings is linked privately, and a shared library's private links do
# not reach its export set, so only zelt itself is exported.
install(TARGETS zelt EXPORT zeltTargets) # to CMAKE_INSTALL_LIBDIR
# The command-line tool, when it is built; a program, so not exported.
if(TARGET zelt_tool)
  install(TARGETS zelt_tool) # to CMAKE_INSTALL_BINDIR
endif()
# The licence, named as Debian expects a package's: share/doc/zelt/copyright.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DOCDIR}" RENAME copyright)
install(FILES
    "${PROJECT_SOURCE_DIR}/buffer/ZELTBufferIn.h"
    "${PROJECT_SOURCE_DIR}/buffer/ZELTBuffer.h"
    "${PROJECT_SOURCE_DIR}/formatter/ZELTFx.h"
    "${PROJECT_SOURCE_DIR}/formatter/ZELTFxXMLImpl.h"
    "${PROJECT_SOURCE_DIR}/scan/ZELTScan.h"
    "${PROJECT_SOURCE_DIR}/file/ZELTFile.h"
    "${PROJECT_SOURCE_DIR}/record/ZELTRecord.h"
    "${PROJECT_SOURCE_DIR}/record/ZELTRecordCore.h"
    "${PROJECT_SOURCE_DIR}/record/ZELTRecordValues.h"
    "${PROJECT_SOURCE_DIR}/record/ZELTRecordScalars.h"
    "${PROJECT_SOURCE_DIR}/record/ZELTRecordContainers.h"
  DESTINATION include/zelt) # the target's INSTALL_INTERFACE include directory

install(EXPORT zeltTargets NAMESPACE zelt:: DESTINATION "${zelt_cmake_dir}")
configure_package_config_file("${CMAKE_CURRENT_LIST_DIR}/zeltConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/zeltConfig.cmake"
  INSTALL_DESTINATION "${zelt_cmake_dir}")
# A new major version may break the interface; minor versions only add to it.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/zeltConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES "${PROJECT_BINARY_DIR}/zeltConfig.cmake" "${PROJECT_BINARY_DIR}/zeltConfigVersion.cmake"
  DESTINATION "${zelt_cmake_dir}")

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
install(CODE "configure_file(\"${PROJECT_BINARY_DIR}/zelt.pc.in\" \"${PROJECT_BINARY_DIR}/zelt.pc\" @ONLY)")
install(FILES "${PROJECT_BINARY_DIR}/zelt.pc" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

# Packaging belongs to a top-level build; a parent project has its own CPack setup.
if(ZELT_TOP_LEVEL)
  include("${CMAKE_CURRENT_LIST_DIR}/zeltPackage.cmake")
endif()
