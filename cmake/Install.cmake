# What `cmake --install` lays out, relative to the prefix (GNUInstallDirs):
#   bin/brevio, bin/brevioedit                      the tools
#   LIBDIR/libbrevioedit.so.2                       the library hosts link against
#   LIBDIR/brevioedit/brevio-media-commands.so      brevio's FFmpeg commands, loaded on demand
#   include/brevioedit/BREditDialog.h               the public C header
#   LIBDIR/pkgconfig/brevioedit.pc, LIBDIR/cmake/BrevioEdit/   for host builds
#   share/applications, icons, metainfo, man        desktop integration and the manual
# Every path a program or a build file holds is relative to where it lies ($ORIGIN, ${pcfiledir},
# the CMake package's own folder), so an installed tree works wherever it is moved.
include(CMakePackageConfigHelpers)

set(BREVIO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# The tools.
install(TARGETS brevio brevioedit-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS brevio-media-commands LIBRARY DESTINATION ${BREVIO_INSTALL_MODULEDIR})
file(RELATIVE_PATH bin_to_lib ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
set_target_properties(brevioedit-host PROPERTIES INSTALL_RPATH "$ORIGIN/${bin_to_lib}")

# The library, its header and the two ways a host build finds them.
install(TARGETS brevioedit EXPORT BrevioEditTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/brevioedit/BREditDialog.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brevioedit)

set(pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH BREVIO_PC_PREFIX ${CMAKE_INSTALL_PREFIX}/${pkgconfig_dir}
     ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" BREVIO_PC_PREFIX "${BREVIO_PC_PREFIX}")
configure_file(${BREVIO_PACKAGING_DIR}/brevioedit.pc.in ${CMAKE_BINARY_DIR}/brevioedit.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/brevioedit.pc DESTINATION ${pkgconfig_dir})

set(cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/BrevioEdit)
install(EXPORT BrevioEditTargets NAMESPACE BrevioEdit:: DESTINATION ${cmake_dir})
configure_package_config_file(${BREVIO_PACKAGING_DIR}/BrevioEditConfig.cmake.in
  ${CMAKE_BINARY_DIR}/BrevioEditConfig.cmake INSTALL_DESTINATION ${cmake_dir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/BrevioEditConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/BrevioEditConfig.cmake
  ${CMAKE_BINARY_DIR}/BrevioEditConfigVersion.cmake DESTINATION ${cmake_dir})

# Desktop integration: the menu entry (which also offers brevioedit for QuickTime movies in file
# managers), the icon in the hicolor theme, the AppStream description.
install(FILES ${BREVIO_PACKAGING_DIR}/brevioedit.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${BREVIO_PACKAGING_DIR}/brevioedit.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/brevioedit.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The PNGs are rendered from the SVG (rsvg-convert -w N -h N).
foreach(size 48 128 256)
  install(FILES ${BREVIO_PACKAGING_DIR}/icons/brevioedit-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME brevioedit.png)
endforeach()

# The manual pages and the package's documents, compressed as Debian wants them.
find_program(BREVIO_GZIP gzip REQUIRED)
set(compressed)
foreach(source man/brevio.1 man/brevioedit.1 changelog)
  get_filename_component(name ${source} NAME)
  set(out ${CMAKE_BINARY_DIR}/packaging/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${BREVIO_GZIP} -9 -n -c ${BREVIO_PACKAGING_DIR}/${source} > ${out}
    DEPENDS ${BREVIO_PACKAGING_DIR}/${source} VERBATIM)
  list(APPEND compressed ${out})
endforeach()
add_custom_target(brevio_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/packaging/brevio.1.gz
  ${CMAKE_BINARY_DIR}/packaging/brevioedit.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${BREVIO_PACKAGING_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/brevioedit)
