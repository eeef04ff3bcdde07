# SPDX-License-Identifier: MIT
# arm-linux-gnueabihf, run under qemu-user on the host.
set(PREFIXDB_CROSS_TRIPLE arm-linux-gnueabihf)
set(PREFIXDB_CROSS_PROCESSOR armv7l)
set(PREFIXDB_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
