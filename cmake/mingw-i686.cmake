# Cross build of the 32-bit Windows module with Debian's mingw-w64 (i686).
# The win32 threading flavour needs no winpthread DLL beside the module.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(WDI_MINGW_PREFIX i686-w64-mingw32)
find_program(WDI_MINGW_CXX NAMES ${WDI_MINGW_PREFIX}-g++-win32 ${WDI_MINGW_PREFIX}-g++ REQUIRED)
find_program(WDI_MINGW_CC NAMES ${WDI_MINGW_PREFIX}-gcc-win32 ${WDI_MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${WDI_MINGW_CXX})
set(CMAKE_C_COMPILER ${WDI_MINGW_CC})
set(CMAKE_RC_COMPILER ${WDI_MINGW_PREFIX}-windres)
set(CMAKE_DLLTOOL ${WDI_MINGW_PREFIX}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${WDI_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The language runtimes go into each binary, so nothing but system DLLs is
# needed at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
