# Cross-build for the instrument's board (64-bit ARM Linux) with Debian's multiarch packages:
# the cross compiler of crossbuild-essential-arm64 and the arm64 Qt and libmodbus development
# packages, which live under /usr/lib/aarch64-linux-gnu beside the host's own.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Multiarch keeps the target's libraries under the host's own prefix, so the search starts
# at / and is told to take only the aarch64 library directories (CMAKE_LIBRARY_ARCHITECTURE).
# Programs (moc, uic, rcc) are the host's: qtbase5-dev-tools is amd64 and runs here.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must see the arm64 .pc files only (libmodbus for the simulator).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# The cross-built test programs run under user-mode emulation; the arm64 loader and
# libraries are those of the multiarch packages under /.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /)

# Part of the hardening Debian builds its own packages with (dpkg-buildflags, plus bindnow):
# stack protector, format checks, and relocations resolved and made read-only at start-up.
# _FORTIFY_SOURCE is left out: it marks fread's result as one to check, and the sysfs reads
# ignore it, which -Werror turns into a failed CI build.
set(CMAKE_C_FLAGS_INIT "-fstack-protector-strong -Wformat -Werror=format-security")
set(CMAKE_CXX_FLAGS_INIT "-fstack-protector-strong -Wformat -Werror=format-security")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,-z,relro -Wl,-z,now")
