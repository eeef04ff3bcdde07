// SPDX-License-Identifier: MIT
#include "input_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace prefixdb {
namespace {

#ifdef _WIN32
// The errno value for a Windows error, as the C library maps the errors that opening and
// reading a file can give, so that messages read the same on every system.
int errno_for(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EINVAL;
    }
}

bool is_directory(const wchar_t* name) {
    const DWORD attributes = GetFileAttributesW(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Stores up to count bytes; returns how many, 0 at the end of the file, -1 on an error.
long read_some(InputFile& file, unsigned char* bytes, std::size_t count) {
    DWORD got = 0;
    if (ReadFile(file.handle, bytes, static_cast<DWORD>(count), &got, nullptr) == 0) {
        file.error = errno_for(GetLastError());
        return -1;
    }
    return static_cast<long>(got);
}
#else
long read_some(InputFile& file, unsigned char* bytes, std::size_t count) {
    while (true) {
        const ssize_t got = read(file.descriptor, bytes, count);
        if (got >= 0) {
            return static_cast<long>(got);
        }
        if (errno != EINTR) {
            file.error = errno;
            return -1;
        }
    }
}
#endif

// Serves the reader from the buffer, filling it first as far as the request needs: a regular
// file gives the whole header at the first read, a pipe may take several.
std::size_t read_bytes(void* source, unsigned char* bytes, std::size_t count) {
    InputFile& file = *static_cast<InputFile*>(source);
    while (file.filled - file.taken < count && file.filled < file.buffer.size() && !file.at_end) {
        const long got =
            read_some(file, file.buffer.data() + file.filled, file.buffer.size() - file.filled);
        if (got <= 0) {
            file.at_end = true;
        } else {
            file.filled += static_cast<std::size_t>(got);
        }
    }
    const std::size_t given = std::min(count, file.filled - file.taken);
    std::memcpy(bytes, file.buffer.data() + file.taken, given);
    file.taken += given;
    return given;
}

} // namespace

int open_input(const NativeChar* name, InputFile& file) {
    file = InputFile{};
#ifdef _WIN32
    file.handle =
        CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file.handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // Windows refuses to open a directory as "access denied"; name the real reason, as the
        // other systems do.
        return error == ERROR_ACCESS_DENIED && is_directory(name) ? EISDIR : errno_for(error);
    }
#else
    // A terminal named on the command line must not become the controlling one. O_CLOEXEC is
    // left out: nothing is ever executed, and musl pays for it with a call to fcntl.
    file.descriptor = open(name, O_RDONLY | O_NOCTTY);
    if (file.descriptor < 0) {
        return errno;
    }
#endif
    return 0;
}

ByteStream byte_stream(InputFile& file) {
    return {read_bytes, &file};
}

void close_input(InputFile& file) {
#ifdef _WIN32
    static_cast<void>(CloseHandle(file.handle));
#else
    static_cast<void>(close(file.descriptor));
#endif
}

} // namespace prefixdb
