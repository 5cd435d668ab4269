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

if(COMMAND varnholt_wine_test)
  # The media module loader's Windows side, with a module DLL of its own.
  add_library(fake_media_module SHARED ${varnholt_platform_win_tests}/FakeMediaModule.cpp)
  set_target_properties(fake_media_module PROPERTIES PREFIX "")
  target_link_libraries(fake_media_module PRIVATE varnholt_win_options)
  add_library(varnholt_media_loader_win STATIC ${varnholt_platform_win_root}/media/MediaModuleLoader.cpp)
  target_compile_definitions(varnholt_media_loader_win PRIVATE
    VARNHOLT_MEDIA_MODULE_FROM_PROGRAM="." VARNHOLT_MEDIA_MODULE_BUILT="")
  target_link_libraries(varnholt_media_loader_win PRIVATE varnholt_win_options
    PUBLIC varnholt_platform_win)
  varnholt_wine_test(media_loader_win_tests
    SOURCES ${varnholt_platform_win_tests}/MediaLoaderTest.cpp
    LIBS varnholt_media_loader_win)
  add_dependencies(media_loader_win_tests fake_media_module)

  # The Qt callers of platform/win (the Windows branches in platform/, cli/,
  # controls/, media/ and camera/) cannot be compiled here: there is no Qt for
  # Windows on Debian. They are parsed for Windows instead, against
  # Debian's Qt 6 headers, as a step of this build: no object code and no
  # link, but a misspelt call, a wrong type or a missing include fails the
  # build. Qt's own headers warn about their dllimport marks under this mix,
  # hence -Wno-attributes.
  set(VARNHOLT_HOST_QT_INCLUDE /usr/include/x86_64-linux-gnu/qt6 CACHE PATH
    "Debian's Qt 6 headers, for parsing the Windows branches of the Qt code")
  set(varnholt_qt_callers
    camera/platform/graph/FileMux.cpp
    camera/platform/virtual/DeviceLock.cpp
    camera/platform/virtual/StateFile.cpp
    camera/platform/virtual/VirtualPlatform.cpp
    cli/RecordCommand.cpp
    cli/RestoreCommands.cpp
    controls/SingleInstance.cpp
    media/MediaModuleLoader.cpp
    platform/DebugChannel.cpp
    platform/DocumentsFolder.cpp
    platform/ProfileFile.cpp
    platform/ProfileStorageWin.cpp
    platform/UserLockWin.cpp)
  set(q ${VARNHOLT_HOST_QT_INCLUDE})
  if(EXISTS ${q}/QtCore/qwineventnotifier.h)
    set(varnholt_parsed "")
    foreach(source IN LISTS varnholt_qt_callers)
      string(MAKE_C_IDENTIFIER ${source} name)
      set(stamp ${CMAKE_BINARY_DIR}/qt_callers_parse/${name}.parsed)
      add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_CXX_COMPILER} -fsyntax-only -std=c++20 -Wall -Wextra -Werror -Wno-attributes
          -DUNICODE -D_UNICODE -DNOMINMAX -DWIN32_LEAN_AND_MEAN -D_WIN32_WINNT=0x0601
          "-DVARNHOLT_MEDIA_MODULE_FROM_PROGRAM=\".\"" "-DVARNHOLT_MEDIA_MODULE_BUILT=\"\""
          -I${varnholt_platform_win_root} -I${q} -I${q}/QtCore -I${q}/QtGui -I${q}/QtWidgets
          -MD -MF ${stamp}.d -MT ${stamp}
          ${varnholt_platform_win_root}/${source}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${varnholt_platform_win_root}/${source}
        DEPFILE ${stamp}.d
        COMMENT "Parsing ${source} for Windows"
        VERBATIM)
      list(APPEND varnholt_parsed ${stamp})
    endforeach()
    add_custom_target(qt_callers_parse ALL DEPENDS ${varnholt_parsed})
  else()
    add_custom_target(qt_callers_parse ALL
      COMMAND sh -c "echo 'no Qt 6 headers in ${q} (Debian package qt6-base-dev)' >&2; exit 1")
  endif()
endif()
