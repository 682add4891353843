# The Debian package: what `cmake --install` puts under /usr, packed by CPack.
# Runtime libraries are found by dpkg-shlibdeps from the programs themselves;
# dosfstools is what the ScanDisk view runs.
set(QUILLO_HOMEPAGE "https://quillo.example.org/")

install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillo)
set(QUILLO_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${QUILLO_CHANGELOG_GZ}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${CMAKE_CURRENT_LIST_DIR}/changelog ${QUILLO_CHANGELOG_GZ}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog VERBATIM)
add_custom_target(quillo_changelog ALL DEPENDS ${QUILLO_CHANGELOG_GZ})
install(FILES ${QUILLO_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Quillo developers <developers@quillo.example.org>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUILLO_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS dosfstools)
# USB sticks and memory cards without root rights.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udisks2)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "disk optimiser for FAT volumes
Quillo reads a FAT12, FAT16 or FAT32 volume straight from its sectors (disk
images of retro PCs, virtual machines and emulators, memory cards and USB
sticks), draws a map of how every file lies, and defragments in place. It
never writes a volume it does not fully understand, and orders every write so
that a crash or power cut at any point loses nothing.
.
This package holds the window program, the console program quillo-cli and
the log-in launcher of the AutoDefrag schedule.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
