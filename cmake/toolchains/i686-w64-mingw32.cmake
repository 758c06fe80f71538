# Windows on i686 with mingw-w64 (preset win32).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CORVO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
