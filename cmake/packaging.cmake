# The Debian package: `cpack -G DEB` in a build folder, or `bash tools/package.sh`; on Windows
# the zip, `cpack -G ZIP` (tools/build_windows.sh).
set(CPACK_PACKAGE_NAME plant-scan-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Plant scan tools")
set(CPACK_PACKAGE_CONTACT "Plant scan tools <plant-scan-tools@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measurements of cane sections and leaflets on flat-bed scans")
set(CPACK_PACKAGE_DESCRIPTION
    "Three command-line programs for plant scientists who scan plant material on a flat-bed
scanner: section_measure measures the cross-section of a cane scanned at 1200 dpi (width,
radii of curvature of its corners and hollows, hollow depths, circumscribed and inscribed
circles) into annotated images and a table; leaflet_crop cuts every leaflet out of a scan as
an upright crop; section_batch measures a whole folder of scans on every core, or over
several machines, into one table.")
if(NOT WIN32)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The OpenCV libraries the binaries were linked against, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
