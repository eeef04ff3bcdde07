# SPDX-License-Identifier: MIT
# 32-bit x86 Linux. The x86-64 host runs the result natively (with libc6-i386 and lib32stdc++6),
# so that its system calls are the 32-bit ones.
set(PREFIXDB_CROSS_TRIPLE i686-linux-gnu)
set(PREFIXDB_CROSS_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
