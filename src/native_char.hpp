// SPDX-License-Identifier: MIT
// The characters of a command-line word as the system hands them over.
#ifndef PREFIXDB_NATIVE_CHAR_HPP
#define PREFIXDB_NATIVE_CHAR_HPP

namespace prefixdb {

// UTF-16 on Windows, so that every name its file systems hold arrives intact; bytes elsewhere.
#ifdef _WIN32
using NativeChar = wchar_t;
#else
using NativeChar = char;
#endif

} // namespace prefixdb

#endif
