# The Windows build that also loads on Windows XP SP3 and Server 2003: the
# "win32" flavour of Debian's mingw-w64 compilers (no winpthreads, so no
# GetTickCount64 or other Vista-only imports from the runtime), and XP's
# subsystem version (5.01) in the PE header. The program uses no std::thread.
#   cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686-xp.cmake
set(TREVASSO_MINGW_THREADS win32)
set(TREVASSO_TARGET_XP ON)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-i686.cmake)

string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT
       " -Wl,--major-subsystem-version,5,--minor-subsystem-version,1,--major-os-version,5,--minor-os-version,1")
