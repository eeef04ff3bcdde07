# SPDX-License-Identifier: MIT
# s390x-linux-gnu, run under qemu-user on the host.
set(PREFIXDB_CROSS_TRIPLE s390x-linux-gnu)
set(PREFIXDB_CROSS_PROCESSOR s390x)
set(PREFIXDB_CROSS_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
