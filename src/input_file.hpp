// SPDX-License-Identifier: MIT
// Opening a database file for reading, reading its first bytes and closing it, through the
// system's own calls.
#ifndef PREFIXDB_INPUT_FILE_HPP
#define PREFIXDB_INPUT_FILE_HPP

#include "native_char.hpp"
#include "prefixdb_header.hpp"

#include <array>
#include <cstddef>

namespace prefixdb {

struct InputFile {
#ifdef _WIN32
    void* handle;
#else
    int descriptor;
#endif
    // Room for the whole header, which then takes a single read.
    std::array<unsigned char, 8> buffer;
    std::size_t filled;
    std::size_t taken;
    bool at_end;
    int error; // the errno value of a failed read, 0 while none failed
};

// Opens name for reading without ever creating it; other programs may go on reading, writing,
// renaming and deleting the file meanwhile. Returns 0, or the errno value that tells why the
// file cannot be opened (EISDIR for a directory where the system refuses to open one).
int open_input(const NativeChar* name, InputFile& file);

// The stream that read_header reads; it never reads past the eighth byte of the file.
ByteStream byte_stream(InputFile& file);

void close_input(InputFile& file);

} // namespace prefixdb

#endif
