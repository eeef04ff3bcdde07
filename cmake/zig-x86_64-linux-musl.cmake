# SPDX-License-Identifier: MIT
# Fully static x86_64 Linux executables against musl, which start faster than any dynamically linked
# program and run on every Linux distribution.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PREFIXDB_ZIG_TARGET x86_64-linux-musl)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
