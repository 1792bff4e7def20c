# Shared body of the MinGW-w64 toolchain files: they set
# CMAKE_SYSTEM_PROCESSOR and HS_MINGW_TRIPLE, then include this file.
#
# Static C and C++ runtimes, so the executable needs no MinGW DLLs beside it;
# Unicode entry point (wWinMain); GUI subsystem for the installer.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${HS_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${HS_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${HS_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${HS_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${HS_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# Libraries come from the MinGW sysroot and from the prefix where
# scripts/setup.sh built liblzma for this target (HS_LZMA_PREFIX), never
# from the build machine's own folders.
set(CMAKE_FIND_ROOT_PATH /usr/${HS_MINGW_TRIPLE})
if(HS_LZMA_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${HS_LZMA_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 7 is the oldest system whose loader knows SetDefaultDllDirectories
# everywhere (with its update); the headers declare it from 0x0602 on, and
# the engine binds nothing newer at link time.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0602 WINVER=0x0602)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
