// SPDX-License-Identifier: MIT
// Finding the path of the running executable, for the usage text.
#ifndef PREFIXDB_EXECUTABLE_PATH_HPP
#define PREFIXDB_EXECUTABLE_PATH_HPP

#include "native_char.hpp"

#include <array>
#include <cstddef>

namespace prefixdb {

// Room for the longest path the system resolves: PATH_MAX bytes on POSIX systems, 32767 UTF-16
// units (up to three bytes each once converted) on Windows.
#ifdef _WIN32
inline constexpr std::size_t max_path = 32768 * 3;
#else
inline constexpr std::size_t max_path = 4096;
#endif

// A NUL-terminated path.
struct ExecutablePath {
    std::array<char, max_path> text;
};

// The absolute path of the running executable as the system reports it, in UTF-8 on Windows.
// Where the system cannot tell (no /proc, for example), the best path that resolve_program finds
// for argv0.
ExecutablePath executable_path(const NativeChar* argv0);

#ifndef _WIN32

// The absolute path of argv0 found the way a shell finds a command: against the working
// directory when argv0 holds a slash, else in the directories listed in search_path, where an
// empty entry means the working directory. Where that fails, argv0 itself; where argv0 is null
// or empty, the program's installed name.
ExecutablePath resolve_program(const char* argv0, const char* search_path);
#endif

} // namespace prefixdb

#endif
