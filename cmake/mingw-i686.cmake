# Cross-compiles for 32-bit Windows with mingw-w64 (posix threads) and runs the results under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No toolchain DLL is needed at run time. CRT_fp8.o starts the x87 unit rounding to double
# precision, as on a Windows that started the program itself: the model's arithmetic is defined in
# doubles, and 80-bit intermediates would move band edges by a pixel.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static ${CMAKE_FIND_ROOT_PATH}/lib/CRT_fp8.o")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine with the build tree's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wineprefix")
