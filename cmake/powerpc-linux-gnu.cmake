# SPDX-License-Identifier: MIT
# powerpc-linux-gnu, run under qemu-user on the host.
set(PREFIXDB_CROSS_TRIPLE powerpc-linux-gnu)
set(PREFIXDB_CROSS_PROCESSOR ppc)
set(PREFIXDB_CROSS_QEMU qemu-ppc)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
