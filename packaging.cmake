# `cpack -G DEB` in a build folder makes lumicarve_<version>_<arch>.deb. The
# libraries it links come from dpkg-shlibdeps; the picture plugins Qt loads at
# run time are named by hand.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

set(CPACK_PACKAGE_NAME lumicarve)
set(CPACK_PACKAGE_VENDOR "Lumicarve developers")
set(CPACK_PACKAGE_CONTACT "Lumicarve developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
  "Lumicarve reads a disk's raw sectors and recognises photos and videos by their
own bytes, without the disk's file system, so it finds deleted files and files on
a formatted card. It never writes to the disk it scans. lumicarve is the window,
lumicarve-cli the same scan on the command line.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(LUMICARVE_UI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
  # The window opens disks it may not read itself through udisks2; Qt's own
  # translations give its standard buttons and dialogs the user's language.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2, qt6-translations-l10n")
endif()
include(CPack)
