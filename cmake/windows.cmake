# What every Windows executable carries: its manifest (UTF-8 as the code page of its narrow
# strings, so that OpenCV and the C library open any file name; long paths), and musl's math
# functions (from Debian's source package, built by tools/build_windows.sh) in place of those
# msvcrt.dll would give, which differ between Windows and wine.
enable_language(RC)
add_library(windows_manifest OBJECT ${CMAKE_CURRENT_LIST_DIR}/windows/program.rc)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/windows/program.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/windows/program.manifest)
add_library(musl_math OBJECT IMPORTED)
set_target_properties(musl_math PROPERTIES IMPORTED_OBJECTS ${PLANT_WINDOWS_DEPS}/lib/musl_math.o)
foreach(part windows_manifest musl_math)
  link_libraries("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:${part}>")
endforeach()
