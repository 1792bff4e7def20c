# Cross build for Windows (i686) with MinGW-w64 on Linux.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(HS_MINGW_TRIPLE i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain-common.cmake")
