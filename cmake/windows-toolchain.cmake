# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# OpenCV's std::thread and std::mutex need), linking everything statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The libraries tools/build_windows.sh builds: PLANT_WINDOWS_CACHE, or its default; while it
# builds them, the new folder they go into.
if(DEFINED ENV{PLANT_WINDOWS_DEPS})
  set(PLANT_WINDOWS_DEPS "$ENV{PLANT_WINDOWS_DEPS}")
elseif(DEFINED ENV{PLANT_WINDOWS_CACHE})
  set(PLANT_WINDOWS_DEPS "$ENV{PLANT_WINDOWS_CACHE}/deps")
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(PLANT_WINDOWS_DEPS "$ENV{XDG_CACHE_HOME}/plant-scan-tools/windows/deps")
else()
  set(PLANT_WINDOWS_DEPS "$ENV{HOME}/.cache/plant-scan-tools/windows/deps")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${PLANT_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No DLL of the compiler's runtime to ship beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
