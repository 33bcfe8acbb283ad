# `cpack -G DEB` in a build folder makes a Debian package of everything
# `cmake --install` installs, with its library dependencies worked out by
# dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME corvanta-archive)
set(CPACK_PACKAGE_VENDOR "Corvanta")
set(CPACK_PACKAGE_CONTACT "Corvanta developers <dev@corvanta.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Archive viewer for CCTV digital video recorders")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
