# The Debian package, made by `cpack -G DEB` in the build folder (scripts/package):
# build/brevioedit_<version>_amd64.deb. The libraries it links come from dpkg-shlibdeps; the
# library's shlibs file and ldconfig trigger are generated as well.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevioedit)
set(CPACK_PACKAGE_VENDOR "Brevio Edit developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "movie-editing dialog for Brevio camera movies")
set(CPACK_PACKAGE_DESCRIPTION
    "Brevio Edit cuts scenes out of Brevio movies, the QuickTime movies that a\n"
    "camera builds by appending a short clip each time a picture is taken. The\n"
    "editing dialog plays the movie, shows the scenes around the paused position,\n"
    "cuts, undoes and redoes, and saves the edited movie losslessly as a new file.\n"
    "\n"
    "The package holds the editor (brevioedit), the command-line tool (brevio)\n"
    "and the library libbrevioedit with its C header, pkg-config file and CMake\n"
    "package, for photo browsers that open the dialog themselves.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Brevio Edit developers <brevioedit@users.noreply.github.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the interface needs beyond the libraries. The dialog speaks Chinese under zh and the
# neutral C locale (the language most installations run the menu entry in): without a CJK font
# every text of it is a row of boxes, so a font is a dependency. Qt's translations only turn the
# toolkit's own buttons and labels (Save-As, OK/Cancel) Chinese; without them those stay English
# and readable, so they are recommended, as apt installs by default.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk | fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The dynamic linker's cache is refreshed through dpkg's ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Directories the package creates get the usual modes, not the build user's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
