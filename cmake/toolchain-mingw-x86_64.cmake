# The 64-bit Windows build: x86_64, for Windows 7 and later (Windows 11 is
# 64-bit only). Same compiler flavour as the XP build ("win32" threads: no
# winpthreads DLL or imports), so both builds compile the same code; the PE
# header states Windows 7 (6.01) as the oldest system.
#   cmake -S . -B build/mingw64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake
set(TREVASSO_MINGW_THREADS win32)
set(TREVASSO_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-i686.cmake)

string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT
       " -Wl,--major-subsystem-version,6,--minor-subsystem-version,1,--major-os-version,6,--minor-os-version,1")
