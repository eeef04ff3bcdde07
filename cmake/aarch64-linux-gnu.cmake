# SPDX-License-Identifier: MIT
# aarch64-linux-gnu, run under qemu-user on the host.
set(PREFIXDB_CROSS_TRIPLE aarch64-linux-gnu)
set(PREFIXDB_CROSS_PROCESSOR aarch64)
set(PREFIXDB_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
