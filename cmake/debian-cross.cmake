# SPDX-License-Identifier: MIT
# Cross-building for Linux with one of Debian's cross compilers (g++-<triple>), whose libraries
# live under /usr/<triple>. The including file sets PREFIXDB_CROSS_TRIPLE, PREFIXDB_CROSS_PROCESSOR
# and, where the host cannot run the result itself, PREFIXDB_CROSS_QEMU (a qemu-user program).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${PREFIXDB_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${PREFIXDB_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${PREFIXDB_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${PREFIXDB_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(PREFIXDB_CROSS_QEMU)
    # Test programs (and test discovery) run under the emulator, with the target's libraries.
    set(CMAKE_CROSSCOMPILING_EMULATOR ${PREFIXDB_CROSS_QEMU} -L /usr/${PREFIXDB_CROSS_TRIPLE})
endif()
