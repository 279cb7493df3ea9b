# The Debian packages: `cpack -G DEB` in a build folder, or `bash tools/package.sh`.
# plant-scan-tools: the programs, this documentation and the samples; plant-scan-tools-dev: the
# library, its headers, CMake package and pkg-config file; python3-plantscan: the Python module.
# On Windows the zip of the programs and their installer, `cpack -G ZIP` and `cpack -G NSIS`
# (tools/build_windows.sh), from installer/NSIS.template.in.
set(CPACK_PACKAGE_NAME plant-scan-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Plant scan tools")
set(CPACK_PACKAGE_CONTACT "Plant scan tools <plant-scan-tools@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measurements of cane sections and leaflets on flat-bed scans")
set(CPACK_PACKAGE_DESCRIPTION
    "Four command-line programs for plant scientists who scan plant material on a flat-bed
scanner: section_measure measures the cross-section of a cane scanned at 1200 dpi (width,
radii of curvature of its corners and hollows, hollow depths, circumscribed and inscribed
circles) into annotated images and a table; leaflet_crop cuts every leaflet out of a scan as
an upright crop; leaflet_batch crops and measures (area, length, width) every leaflet of a
folder of scans, and section_batch measures every section of one, on every core, or over
several machines, into one table.")
if(NOT WIN32)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
set(CPACK_STRIP_FILES ON)
# The project's licence, Apache-2.0: the installer shows it, each Debian package's copyright
# file names it (below), the Windows folder holds it beside licenses\, the notices of what the
# programs contain.
if(WIN32)
  set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_BINARY_DIR}/LICENSE)
else()
  set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
endif()

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The OpenCV libraries the binaries were linked against, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs dev)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME plant-scan-tools)
# Each description follows the one summary line, CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME plant-scan-tools-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# The static library needs OpenCV's headers and link libraries in the consumer's build.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS libopencv-dev)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "The measurements of section_measure and leaflet_crop as a static C++ library (namespace
plantscan): a cane section's width, radii of curvature, hollow depths and circles, the
leaflets of a scan with their upright crops. For CMake, find_package(PlantScanTools) and
PlantScanTools::plantscan; otherwise pkg-config plantscan.")

if(TARGET plantscan_python)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-plantscan)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # The module is built for one Python minor version; numpy is imported when it returns arrays.
  math(EXPR PLANT_PYTHON_NEXT_MINOR "${Python_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}), python3 (<< ${Python_VERSION_MAJOR}.${PLANT_PYTHON_NEXT_MINOR}), python3-numpy")
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION
      "The Python module plantscan: measure_section(image) gives a cane section's width, radii
of curvature, hollow depths and circles as plain numbers, crop_leaflets(image) the upright
crop of every leaflet as NumPy arrays: the numbers of the programs section_measure and
leaflet_crop, without their files.")
endif()

# Each Debian package's share/doc/<package>/copyright, in Debian's machine-readable format: what it
# carries, whose it is and under which licence. Further stanzas (files in cmake/debian/) follow.
function(plant_debian_copyright package component carries)
  set(PLANT_COPYRIGHT_CARRIES "${carries}")
  set(PLANT_COPYRIGHT_MORE "")
  set(only_packaged "")
  foreach(stanzas IN LISTS ARGN)
    file(READ ${CMAKE_SOURCE_DIR}/cmake/debian/${stanzas} text)
    string(APPEND PLANT_COPYRIGHT_MORE "${text}")
  endforeach()
  set(file ${CMAKE_BINARY_DIR}/debian/${package}/copyright)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/copyright.in ${file} @ONLY)
  # The Python module's files install with its package alone.
  if(component STREQUAL python)
    set(only_packaged EXCLUDE_FROM_ALL)
  endif()
  install(FILES ${file} DESTINATION share/doc/${package} COMPONENT ${component} ${only_packaged})
endfunction()

if(NOT WIN32)
  plant_debian_copyright(plant-scan-tools programs
      "The programs section_measure, leaflet_crop, section_batch and leaflet_batch, built
 from this project's source alone, their documentation and two synthetic sample scans made by
 its scan generator. They link OpenCV (Apache-2.0), the C++ runtime and the C library
 dynamically: those come in their own Debian packages, with their own copyright files.")
  plant_debian_copyright(plant-scan-tools-dev dev
      "The static library libplantscan, its headers, CMake package and pkg-config file,
 built from this project's source alone. A program linked with it also links OpenCV
 (libopencv-dev, Apache-2.0).")
  if(TARGET plantscan_python)
    plant_debian_copyright(python3-plantscan python
        "The Python module plantscan, built from this project's source and pybind11's
 headers, whose code it holds (BSD-3-Clause, below), with an example script and its
 documentation. It links OpenCV (Apache-2.0), the C++ runtime and the C library
 dynamically: those come in their own Debian packages, with their own copyright files."
        pybind11.copyright)
  endif()
endif()

if(WIN32)
  # The programs are all the Windows build installs: one piece.
  set(CPACK_MONOLITHIC_INSTALL ON)
  list(APPEND CMAKE_MODULE_PATH ${CMAKE_SOURCE_DIR}/installer)
  set(CPACK_NSIS_PACKAGE_NAME "Plant scan tools")
  set(CPACK_NSIS_DISPLAY_NAME "Plant scan tools ${PROJECT_VERSION}")
  set(CPACK_PACKAGE_INSTALL_DIRECTORY plant-scan-tools)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY plant-scan-tools)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_PATH_ENTRY_PROGRAM ${CMAKE_BINARY_DIR}/installer/path_entry.exe)
endif()
include(CPack)
