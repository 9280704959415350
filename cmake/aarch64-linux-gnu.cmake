# Cross-compiles for 64-bit ARM Linux (arm64) with Debian's cross compiler against the arm64
# multiarch libraries, and runs the results under qemu's user-mode emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# pkg-config reads arm64's descriptions only (and the architecture-free ones: protocols, the
# scanner, whose program is the build machine's).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The emulator finds arm64's loader and libraries where multiarch put them.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64)
