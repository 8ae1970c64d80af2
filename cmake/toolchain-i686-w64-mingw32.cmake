# Cross build of the Windows program, 32-bit. It runs under a Wine built in its
# WoW64 mode (scripts/setup-wow64.sh): scripts/build.sh passes that Wine as
# CMAKE_CROSSCOMPILING_EMULATOR when there is one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Doubles in SSE2 registers, as in the 64-bit build, not on the x87 unit with
# its extended precision: both builds then compute the same figures. Every
# processor that runs a supported Windows has SSE2. (The compiler realigns the
# stack where SSE needs it, since 32-bit Windows only keeps it 4-byte aligned.)
set(CMAKE_C_FLAGS_INIT   "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# Not large-address-aware: the program loads the boards' 32-bit driver
# libraries, closed code that may take addresses above 2 GB for negative
# numbers; the mark is a promise for every library in the process.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--disable-large-address-aware")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
