# The Windows side of platform/: Win32 only, no Qt, so that it builds with
# mingw-w64 here and its tests run under Wine (windows/CMakeLists.txt
# includes this file), and with MSVC or MinGW in the full Windows build
# (platform/CMakeLists.txt includes it on WIN32).
set(varnholt_platform_win_dir ${CMAKE_CURRENT_LIST_DIR})
get_filename_component(varnholt_platform_win_root ${varnholt_platform_win_dir}/../.. ABSOLUTE)

add_library(varnholt_platform_win STATIC
  ${varnholt_platform_win_dir}/WinCallPipe.cpp
  ${varnholt_platform_win_dir}/WinConsoleStop.cpp
  ${varnholt_platform_win_dir}/WinDebugOutput.cpp
  ${varnholt_platform_win_dir}/WinFiles.cpp
  ${varnholt_platform_win_dir}/WinFolders.cpp
  ${varnholt_platform_win_dir}/WinProcesses.cpp
)
target_include_directories(varnholt_platform_win PUBLIC ${varnholt_platform_win_root})
target_compile_features(varnholt_platform_win PUBLIC cxx_std_20)
# Wide-character Win32, no min/max macros, and Windows 7's API (named-pipe
# process ids, ordinal comparison).
target_compile_definitions(varnholt_platform_win PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
if(TARGET varnholt_win_options)
  target_link_libraries(varnholt_platform_win PRIVATE varnholt_win_options)
else()
  target_compile_definitions(varnholt_platform_win PRIVATE _WIN32_WINNT=0x0601)
endif()
target_link_libraries(varnholt_platform_win PUBLIC shell32 ole32 uuid advapi32 user32)

if(COMMAND varnholt_wine_test)
  set(varnholt_platform_win_tests ${varnholt_platform_win_root}/tests/platform/win)
  varnholt_wine_test(platform_win_tests
    SOURCES
      ${varnholt_platform_win_tests}/WinPlatformTest.cpp
      ${varnholt_platform_win_tests}/WinFilesTest.cpp
    LIBS varnholt_platform_win)
endif()
