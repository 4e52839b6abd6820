# Cross-compile for 32-bit Windows (i686) with Debian's mingw-w64 compilers.
#   cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
# cmake/toolchain-mingw-x86_64.cmake sets TREVASSO_MINGW_ARCH to x86_64 and
# includes this file for the 64-bit build.
# Programs are linked fully static (no libstdc++/libgcc/libwinpthread DLLs) and are
# run under Wine by ctest through scripts/wine-run (CMAKE_CROSSCOMPILING_EMULATOR).
#
# TREVASSO_MINGW_THREADS picks the compiler flavour: "posix" (the default here)
# links winpthreads, whose GetTickCount64 import keeps the programs from loading
# on Windows XP; "win32" (cmake/toolchain-mingw-i686-xp.cmake) has no
# std::thread but loads on XP SP3.

set(CMAKE_SYSTEM_NAME Windows)
if(NOT DEFINED TREVASSO_MINGW_ARCH)
  set(TREVASSO_MINGW_ARCH i686)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${TREVASSO_MINGW_ARCH})

if(NOT DEFINED TREVASSO_MINGW_THREADS)
  set(TREVASSO_MINGW_THREADS posix)
endif()
set(TREVASSO_MINGW_TRIPLET ${TREVASSO_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${TREVASSO_MINGW_TRIPLET}-gcc-${TREVASSO_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TREVASSO_MINGW_TRIPLET}-g++-${TREVASSO_MINGW_THREADS})
set(CMAKE_RC_COMPILER  ${TREVASSO_MINGW_TRIPLET}-windres)

# .rc files are UTF-8: without code page 65001 windres reads them as CP1252 and
# Chinese strings come out garbled.
set(CMAKE_RC_FLAGS_INIT "-c 65001")

set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Libraries, headers and CMake packages come from the mingw sysroot only (never the
# host's /usr/include); host programs (python3, xdotool, ...) stay findable.
set(CMAKE_FIND_ROOT_PATH /usr/${TREVASSO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# nlohmann-json is header-only but lives in /usr/include, which must not be put on
# the cross compiler's include path. TREVASSO_JSON_INCLUDE_DIR gets a directory that
# holds only a link to /usr/include/nlohmann.
if(DEFINED TREVASSO_JSON_INCLUDE_DIR AND NOT EXISTS "${TREVASSO_JSON_INCLUDE_DIR}/nlohmann/json.hpp"
   AND EXISTS /usr/include/nlohmann/json.hpp)
  file(MAKE_DIRECTORY "${TREVASSO_JSON_INCLUDE_DIR}")
  file(CREATE_LINK /usr/include/nlohmann "${TREVASSO_JSON_INCLUDE_DIR}/nlohmann" SYMBOLIC)
endif()

# add_test() and gtest_discover_tests() run the .exe files under Wine.
get_filename_component(_trevasso_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_trevasso_root}/scripts/wine-run")
unset(_trevasso_root)
