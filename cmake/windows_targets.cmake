# The Windows programs (included by the top CMakeLists.txt when building for Windows):
#   trevasso.exe      the program on the real system (Win32Platform + Win32Ui)
#   trevasso-sim.exe  the same windows on a simulated PC (SimPlatform + Win32Ui)
#   trevasso-cli.exe, trevasso-cli-sim.exe  the console program on each

enable_language(RC)

set(TREVASSO_WIN32_DEFINITIONS UNICODE _UNICODE NOMINMAX WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0800)

# Loading of the system's DLLs from the system folder only (no planted copies).
add_library(trevasso_win32_system STATIC src/platform/win32/system_library.cpp src/platform/win32/process_arguments.cpp)
target_include_directories(trevasso_win32_system PUBLIC src)
target_compile_definitions(trevasso_win32_system PUBLIC ${TREVASSO_WIN32_DEFINITIONS})
target_link_libraries(trevasso_win32_system PUBLIC shell32)  # CommandLineToArgvW

# Static imports stay with KnownDLLs; winmm, uxtheme, setupapi and comctl32
# are loaded at run time from the system folder.
add_library(trevasso_win32_platform STATIC src/platform/win32/win32_platform.cpp src/platform/win32/win32_platform_security.cpp
                                            src/platform/win32/record_layouts.cpp)
target_compile_definitions(trevasso_win32_platform PUBLIC ${TREVASSO_WIN32_DEFINITIONS})
target_link_libraries(trevasso_win32_platform PUBLIC trevasso_core trevasso_win32_system shell32 gdi32 user32 advapi32)

add_library(trevasso_win32_ui STATIC
  src/ui/win32/common_controls.cpp
  src/ui/win32/form_window.cpp
  src/ui/win32/form_window_input.cpp
  src/ui/win32/form_window_sync.cpp
  src/ui/win32/win32_ui.cpp
  src/ui/win32/program_entry.cpp
  src/ui/win32/session_end.cpp
  src/ui/win32/window_support.cpp
)
target_compile_definitions(trevasso_win32_ui PUBLIC ${TREVASSO_WIN32_DEFINITIONS})
# comctl32 too is loaded at run time (src/ui/win32/common_controls): imported,
# its own dependencies would be looked for beside the program at start.
target_link_libraries(trevasso_win32_ui PUBLIC trevasso_core trevasso_win32_system ole32 gdi32 user32)

# The manifest names the processor the program is built for (Windows refuses a
# manifest whose processorArchitecture differs from the executable's), and the
# 64-bit programs say so in their description (Task Manager, file properties).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TREVASSO_MANIFEST_ARCH amd64)
  set(TREVASSO_DESCRIPTION_SUFFIX " (x64)")
else()
  set(TREVASSO_MANIFEST_ARCH x86)
  set(TREVASSO_DESCRIPTION_SUFFIX "")
endif()

# Icon, manifest and version resource of one program. LEVEL is the execution level
# the manifest asks for.
function(trevasso_add_resources target name level description)
  set(TREVASSO_NAME ${name})
  set(TREVASSO_EXECUTION_LEVEL ${level})
  set(TREVASSO_DESCRIPTION "${description}${TREVASSO_DESCRIPTION_SUFFIX}")
  set(TREVASSO_ICON ${PROJECT_SOURCE_DIR}/res/trevasso.ico)
  set(TREVASSO_MANIFEST ${PROJECT_BINARY_DIR}/res/${name}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/res/trevasso.manifest.in ${TREVASSO_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/res/trevasso.rc.in ${PROJECT_BINARY_DIR}/res/${name}.rc @ONLY)
  target_sources(${target} PRIVATE ${PROJECT_BINARY_DIR}/res/${name}.rc)
  set_property(SOURCE ${PROJECT_BINARY_DIR}/res/${name}.rc APPEND PROPERTY OBJECT_DEPENDS
               ${PROJECT_SOURCE_DIR}/res/trevasso.ico ${TREVASSO_MANIFEST})
endfunction()

add_executable(trevasso WIN32 src/ui/win32/main_win32.cpp)
target_link_libraries(trevasso PRIVATE trevasso_win32_platform trevasso_win32_ui)
target_link_options(trevasso PRIVATE -municode)
trevasso_add_resources(trevasso trevasso highestAvailable "Trevasso 4.12 磁盘检测与低级格式化工具")

add_executable(trevasso-sim WIN32 src/ui/win32/main_sim_win32.cpp)
target_link_libraries(trevasso-sim PRIVATE trevasso_sim trevasso_win32_ui shell32)
target_link_options(trevasso-sim PRIVATE -municode)
trevasso_add_resources(trevasso-sim trevasso-sim asInvoker "Trevasso 4.12 (模拟电脑)")

# The console program: trevasso-cli.exe on the real system, trevasso-cli-sim.exe
# on a simulated PC; both console subsystem, wide entry point.
add_executable(trevasso-cli src/cli/main_cli_win32.cpp src/platform/win32/console_host.cpp)
target_link_libraries(trevasso-cli PRIVATE trevasso_cli trevasso_win32_platform shell32)
target_link_options(trevasso-cli PRIVATE -municode)
# asInvoker, not the window program's highestAvailable: from a non-elevated
# console Windows would refuse to start it (PowerShell: error 740) or show a
# consent prompt in another window (cmd), where a script cannot answer. Run
# unelevated, it says so and ends with its own exit code instead.
trevasso_add_resources(trevasso-cli trevasso-cli asInvoker "Trevasso 4.12 命令行")

add_executable(trevasso-cli-sim src/cli/main_cli_sim_win32.cpp src/platform/win32/console_host.cpp)
target_link_libraries(trevasso-cli-sim PRIVATE trevasso_cli_sim trevasso_win32_system user32)
target_link_options(trevasso-cli-sim PRIVATE -municode)
trevasso_add_resources(trevasso-cli-sim trevasso-cli-sim asInvoker "Trevasso 4.12 命令行 (模拟电脑)")

# The erase engine on a file, for scripts/bench (never opens a device).
add_executable(trevasso-erase-bench bench/erase_bench.cpp)
target_link_libraries(trevasso-erase-bench PRIVATE trevasso_win32_platform psapi)
target_link_options(trevasso-erase-bench PRIVATE -municode)
