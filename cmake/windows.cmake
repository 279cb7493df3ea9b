# What every Windows executable carries: its manifest (UTF-8 as the code page of its narrow
# strings, so that OpenCV and the C library open any file name; long paths), and glibc's
# mathematical functions (built by tools/build_windows.sh from the sources of the glibc the
# Linux build runs with) in place of mingw-w64's and msvcrt.dll's: they give Linux's results,
# and under wine the same code runs as on Windows, where msvcrt.dll's are Microsoft's own.
enable_language(RC)
add_library(windows_manifest OBJECT ${CMAKE_CURRENT_LIST_DIR}/windows/program.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/windows/program.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/windows/program.manifest)
file(GLOB glibc_math_objects ${PLANT_WINDOWS_DEPS}/lib/glibc_math/*.o)
add_library(glibc_math OBJECT IMPORTED)
set_target_properties(glibc_math PROPERTIES IMPORTED_OBJECTS "${glibc_math_objects}")
foreach(part windows_manifest glibc_math)
  link_libraries("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${part}>")
endforeach()
# Each executable's link map (<target>.map beside it) names every library and object it was
# linked from: tests/installer/notices_test.sh checks that licenses\ holds a notice for each.
add_link_options("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-Wl,-Map=$<TARGET_PROPERTY:NAME>.map>")
