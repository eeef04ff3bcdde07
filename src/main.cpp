// SPDX-License-Identifier: MIT
// prefixdb-version: print the version of each dial prefix database named on the command line.
#include "executable_path.hpp"
#include "input_file.hpp"
#include "prefixdb_header.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using prefixdb::NativeChar;
using prefixdb::PrefixDbHeader;

constexpr const char* usage_text =
    "%s: Print the version of an areacode database\n\nUsage: \t%s file ...\n";
constexpr const char* cannot_open_message = "Cannot open input file";
constexpr const char* not_database_message = "No dial prefix database\n";
constexpr const char* cannot_write_message = "Cannot write to standard output";

enum ExitStatus : int {
    status_success = 0,
    status_usage = 1,
    status_cannot_open = 2,
    status_not_database = 3,
    status_cannot_write = 4,
};

// Scripts see standard output in whole blocks of this size.
constexpr std::size_t output_block = 4096;

enum class Outcome { database, cannot_open, not_database };

struct Inspection {
    Outcome outcome;
    PrefixDbHeader header;
    int error;
};

struct Output {
    std::size_t in_block; // bytes written since the last full block
    int error;            // the errno value of the first failed write, 0 while none failed
};

#ifdef _WIN32
// A console shows UTF-16, whatever its code page; elsewhere the UTF-8 text goes out as it is.
bool print_on_console(const char* text) {
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || GetConsoleMode(console, &mode) == 0) {
        return false;
    }
    static std::array<wchar_t, prefixdb::max_path * 2> wide;
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), static_cast<int>(wide.size()));
    DWORD written = 0;
    return length > 0 && WriteConsoleW(console, wide.data(), static_cast<DWORD>(length - 1),
                                       &written, nullptr) != 0;
}
#endif

[[noreturn]] void usage(const NativeChar* argv0) {
    const prefixdb::ExecutablePath self = prefixdb::executable_path(argv0);
#ifdef _WIN32
    static std::array<char, prefixdb::max_path * 2 + 64> text;
    static_cast<void>(
        std::snprintf(text.data(), text.size(), usage_text, self.text.data(), self.text.data()));
    if (!print_on_console(text.data())) {
        static_cast<void>(std::fputs(text.data(), stdout));
    }
#else
    std::printf(usage_text, self.text.data(), self.text.data());
#endif
    std::exit(status_usage);
}

// Prints "prefix: <system text for error>" as one write on standard error, then exits.
[[noreturn]] void fail_with_error(const char* prefix, int error, ExitStatus status) {
    errno = error;
    std::perror(prefix);
    std::exit(status);
}

// Line by line on a terminal, whole blocks otherwise. Windows has no line buffering; there each
// line goes out whole, unbuffered.
int output_buffering() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0 ? _IONBF : _IOFBF;
#else
    return isatty(STDOUT_FILENO) != 0 ? _IOLBF : _IOFBF;
#endif
}

Inspection inspect(const NativeChar* name) {
    prefixdb::InputFile file{};
    const int error = prefixdb::open_input(name, file);
    if (error != 0) {
        return {Outcome::cannot_open, {}, error};
    }
    const std::optional<PrefixDbHeader> header = read_header(prefixdb::byte_stream(file));
    prefixdb::close_input(file);
    // A directory opens for reading on some systems and fails only at the first read; it is
    // refused as the systems that fail the open refuse it, at no cost for other files.
    if (!header && file.error == EISDIR) {
        return {Outcome::cannot_open, {}, EISDIR};
    }
    if (!header) {
        return {Outcome::not_database, {}, 0};
    }
    return {Outcome::database, *header, 0};
}

// The error behind a failed write; EIO where the system left none.
int write_error() {
    return errno != 0 ? errno : EIO;
}

// Once a write has failed nothing more is written. A block is flushed the moment it fills,
// because some C libraries would otherwise send a full buffer out together with what follows.
void put(Output& output, const char* text, std::size_t length) {
    while (length > 0 && output.error == 0) {
        const std::size_t part = std::min(length, output_block - output.in_block);
        errno = 0;
        if (std::fwrite(text, 1, part, stdout) != part) {
            output.error = write_error();
            return;
        }
        text += part;
        length -= part;
        output.in_block += part;
        if (output.in_block == output_block) {
            output.in_block = 0;
            errno = 0;
            if (std::fflush(stdout) != 0) {
                output.error = write_error();
            }
        }
    }
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t* argv[]) {
#else
int main(int argc, char* argv[]) {
#endif
    // The buffer is static because the stream still uses it while exit flushes it. It holds a
    // little more than a block, as some C libraries keep part of it for pushed-back characters.
    static std::array<char, output_block + 16> output_buffer;
    static_cast<void>(
        std::setvbuf(stdout, output_buffer.data(), output_buffering(), output_buffer.size()));
    // Messages go out at once, ahead of buffered lines, on every C library.
    static_cast<void>(std::setvbuf(stderr, nullptr, _IONBF, 0));

    if (argc < 2) {
        usage(argc > 0 ? argv[0] : nullptr);
    }

    Output output{0, 0};
    for (int i = 1; i < argc; ++i) {
        const Inspection inspection = inspect(argv[i]);
        if (inspection.outcome == Outcome::cannot_open) {
            fail_with_error(cannot_open_message, inspection.error, status_cannot_open);
        }
        if (inspection.outcome == Outcome::not_database) {
            static_cast<void>(std::fputs(not_database_message, stderr));
            std::exit(status_not_database);
        }
        // Once output has failed, the walk goes on only to find a file that cannot be opened or
        // is no database, whose status takes precedence.
        const prefixdb::VersionLine line = prefixdb::format_version_line(inspection.header);
        put(output, line.text.data(), line.length);
    }

    // Success means the lines reached their destination, so flush and check before saying so.
    errno = 0;
    if (std::fflush(stdout) != 0 && output.error == 0) {
        output.error = write_error();
    }
    if (std::ferror(stdout) != 0 && output.error == 0) {
        output.error = EIO;
    }
    if (output.error != 0) {
        fail_with_error(cannot_write_message, output.error, status_cannot_write);
    }
    return status_success;
}
