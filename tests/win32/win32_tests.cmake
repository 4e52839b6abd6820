# Windows-only tests (included by tests/CMakeLists.txt when building for Windows).
# They run under Wine through CMAKE_CROSSCOMPILING_EMULATOR (scripts/wine-run),
# a 32-bit prefix for the i686 build and a 64-bit one for the x86_64 build.

# The real backend, in the common test program.
target_sources(trevasso_tests PRIVATE win32/win32_platform_test.cpp win32/erase_file_test.cpp
                                      win32/erase_record_win32_test.cpp
                                      win32/folder_guard_win32_test.cpp)
target_link_libraries(trevasso_tests PRIVATE trevasso_win32_platform)
trevasso_add_resources(trevasso_tests trevasso_tests asInvoker "Trevasso tests")

# The Win32 front end makes real windows, which needs an X display under Wine:
# one test program, run once on its own Xvfb when there is one (scripts/wine-gui).
add_executable(trevasso_win32_ui_tests win32/win32_ui_test.cpp)
target_link_libraries(trevasso_win32_ui_tests PRIVATE trevasso_win32_ui trevasso_sim ${TREVASSO_GTEST})
trevasso_add_resources(trevasso_win32_ui_tests trevasso_win32_ui_tests asInvoker "Trevasso window tests")

# The console program hearing the end of the session through its hidden window
# (a window needs the virtual display under Wine, as the window tests do).
add_executable(trevasso_cli_session_tests win32/cli_session_test.cpp)
target_link_libraries(trevasso_cli_session_tests PRIVATE trevasso_sim ${TREVASSO_GTEST})
target_compile_definitions(trevasso_cli_session_tests PRIVATE TREVASSO_CLI_SIM="$<TARGET_FILE:trevasso-cli-sim>")
add_dependencies(trevasso_cli_session_tests trevasso-cli-sim)
trevasso_add_resources(trevasso_cli_session_tests trevasso_cli_session_tests asInvoker "Trevasso console session tests")

# DLL planting: a marker DLL under each name of a non-KnownDLL system library,
# beside a probe that loads the program's libraries the program's way.
add_library(trevasso_planted_dll SHARED win32/planted_dll.cpp)
set_target_properties(trevasso_planted_dll PROPERTIES PREFIX "")
target_link_options(trevasso_planted_dll PRIVATE -static)
add_executable(trevasso_dll_search_probe win32/dll_search_probe.cpp)
target_link_libraries(trevasso_dll_search_probe PRIVATE trevasso_win32_platform trevasso_win32_ui)
target_link_options(trevasso_dll_search_probe PRIVATE -municode)
trevasso_add_resources(trevasso_dll_search_probe trevasso_dll_search_probe asInvoker "Trevasso DLL search probe")

find_package(Python3 COMPONENTS Interpreter)
set(_scripts ${PROJECT_SOURCE_DIR}/scripts)

# The programs as shipped: KnownDLL imports only, GUI subsystem, manifest, icon,
# version; the machine and header version of the build's oldest Windows, and no
# import it lacks (XP SP3 for the i686 build, 7 for the x86_64 one). These need
# no Wine.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_pe_target win7)
elseif(TREVASSO_TARGET_XP)
  set(_pe_target xp)
else()
  set(_pe_target "")
endif()
if(Python3_Interpreter_FOUND)
  add_test(NAME pe_trevasso COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_pe.py
                                    ${CMAKE_OBJDUMP} $<TARGET_FILE:trevasso> highestAvailable ${_pe_target})
  add_test(NAME pe_trevasso_sim COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_pe.py
                                        ${CMAKE_OBJDUMP} $<TARGET_FILE:trevasso-sim> asInvoker ${_pe_target})
  add_test(NAME pe_trevasso_cli COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_pe.py
                                        ${CMAKE_OBJDUMP} $<TARGET_FILE:trevasso-cli> asInvoker ${_pe_target} console)
  add_test(NAME pe_trevasso_cli_sim COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/check_pe.py
                                            ${CMAKE_OBJDUMP} $<TARGET_FILE:trevasso-cli-sim> asInvoker ${_pe_target} console)
endif()

if(NOT TREVASSO_WINE_TESTS)
  return()  # this machine cannot run the build's programs: built and checked, not run
endif()

find_program(TREVASSO_XVFB Xvfb)
find_program(TREVASSO_XDOTOOL xdotool)
find_program(TREVASSO_IMPORT import)
# Each build's screenshots in a folder of its own.
set(_shots ${PROJECT_SOURCE_DIR}/out/${CMAKE_SYSTEM_PROCESSOR})

if(TREVASSO_XVFB)
  add_test(NAME win32_ui COMMAND ${_scripts}/wine-gui $<TARGET_FILE:trevasso_win32_ui_tests> --gtest_brief=1)
  # GUI runs share the GUI Wine prefix and must not overlap.
  set_tests_properties(win32_ui PROPERTIES TIMEOUT 180 RUN_SERIAL TRUE)
else()
  # Without a display the tests report themselves skipped (failed under CI).
  add_test(NAME win32_ui COMMAND trevasso_win32_ui_tests --gtest_brief=1)
  set_tests_properties(win32_ui PROPERTIES TIMEOUT 180)
endif()

# The console program's hidden window hears the session end. Always registered:
# without Xvfb it reports itself skipped, and under CI (CI=true) failed.
if(TREVASSO_XVFB)
  add_test(NAME cli_session COMMAND ${_scripts}/wine-gui $<TARGET_FILE:trevasso_cli_session_tests> --gtest_brief=1)
else()
  add_test(NAME cli_session COMMAND sh -c "echo 'needs Xvfb (scripts/install-deps)' >&2
                                           [ \"$CI\" = true ] && exit 1; exit 77")
endif()
set_tests_properties(cli_session PROPERTIES TIMEOUT 180 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)

if(Python3_Interpreter_FOUND)
  add_test(NAME dll_planting COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/dll_planting_test.py
                                     ${_scripts}/wine-run $<TARGET_FILE:trevasso_dll_search_probe>
                                     $<TARGET_FILE:trevasso_planted_dll>)
endif()

# The simulated program driven through its real windows on Xvfb, with
# screenshots: gui_smoke a whole start, gui_format a quick wipe and a stopped
# full format. Always registered: without Xvfb, xdotool and ImageMagick's import
# they report themselves skipped, and under CI (CI=true) failed.
foreach(_gui IN ITEMS smoke:480 format:540)
  string(REPLACE ":" ";" _gui "${_gui}")
  list(GET _gui 0 _name)
  list(GET _gui 1 _timeout)
  if(TREVASSO_XVFB AND TREVASSO_XDOTOOL AND TREVASSO_IMPORT)
    add_test(NAME gui_${_name} COMMAND ${_scripts}/gui-${_name} $<TARGET_FILE:trevasso-sim> ${_shots})
  else()
    add_test(NAME gui_${_name} COMMAND sh -c "echo 'needs Xvfb, xdotool and import (scripts/install-deps)' >&2
                                             [ \"$CI\" = true ] && exit 1; exit 77")
  endif()
  set_tests_properties(gui_${_name} PROPERTIES TIMEOUT ${_timeout} RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
endforeach()

# The console program on the simulated PC as a real console program under Wine.
add_test(NAME cli_console COMMAND ${_scripts}/cli-console $<TARGET_FILE:trevasso-cli-sim>)
set_tests_properties(cli_console PROPERTIES TIMEOUT 180)

# The engine through the real backend on a file, as the benchmark runs it.
add_test(NAME erase_bench_smoke COMMAND trevasso-erase-bench erase-bench-smoke.bin 3146240)
