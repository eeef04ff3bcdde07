# SPDX-License-Identifier: MIT
# arm64 macOS: compiled and linked, not run.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(PREFIXDB_ZIG_TARGET aarch64-macos)
include(${CMAKE_CURRENT_LIST_DIR}/zig.cmake)
