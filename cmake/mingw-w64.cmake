# Cross toolchain for Windows with Debian's mingw-w64, for the target triplet TRV_TRIPLET:
# i686-w64-mingw32 for TRV.EXE, x86_64-w64-mingw32 for the test-only build that never ships.
set(CMAKE_SYSTEM_NAME Windows)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR "${TRV_TRIPLET}")
set(CMAKE_C_COMPILER ${TRV_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRV_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TRV_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TRV_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The compiler checks configure projects of their own, which see only what is listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TRV_TRIPLET)
