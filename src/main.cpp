// prefixdb-version: print the version of each dial prefix database named on the command line.
#include "executable_path.hpp"
#include "prefixdb_header.hpp"

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

enum class Outcome { database, cannot_open, not_database };

struct Inspection {
    Outcome outcome;
    PrefixDbHeader header;
    int error;
};

[[noreturn]] void usage(const char* argv0) {
    const prefixdb::ExecutablePath self = prefixdb::executable_path(argv0);
    std::printf(usage_text, self.text.data(), self.text.data());
    std::exit(status_usage);
}

// Prints "prefix: <system text for error>" as one write on standard error, then exits.
[[noreturn]] void fail_with_error(const char* prefix, int error, ExitStatus status) {
    errno = error;
    std::perror(prefix);
    std::exit(status);
}

// Scripts see output in whole 4096-byte blocks, a terminal line by line. Windows has no line
// buffering; there each line goes out whole, unbuffered.
int output_buffering() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0 ? _IONBF : _IOFBF;
#else
    return isatty(STDOUT_FILENO) != 0 ? _IOLBF : _IOFBF;
#endif
}

// Windows refuses to open a directory with "Permission denied"; name the real reason instead,
// as the other systems do.
int open_error(const char* name) {
    const int error = errno;
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(name);
    if (error == EACCES && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return EISDIR;
    }
#else
    static_cast<void>(name);
#endif
    return error;
}

Inspection inspect(const char* name) {
    std::FILE* const file = std::fopen(name, "rb");
    if (file == nullptr) {
        return {Outcome::cannot_open, {}, open_error(name)};
    }
    // A buffer the size of the header makes the whole header one small read, and spares the
    // stream allocating a buffer of its own (and the stat that sizes it).
    std::array<char, 8> buffer{};
    static_cast<void>(std::setvbuf(file, buffer.data(), _IOFBF, buffer.size()));
    const std::optional<PrefixDbHeader> header = prefixdb::read_header(file);
    // A directory opens for reading here and fails only at the first read; it is refused as
    // systems that fail the open refuse it, at no cost for the files that are no directory.
    const bool directory = !header && std::ferror(file) != 0 && errno == EISDIR;
    static_cast<void>(std::fclose(file)); // Nothing was written, so nothing can be lost.
    if (directory) {
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

} // namespace

int main(int argc, char* argv[]) {
    // The buffer is static because the stream still uses it while exit flushes it.
    static std::array<char, 4096> output_buffer;
    static_cast<void>(
        std::setvbuf(stdout, output_buffer.data(), output_buffering(), output_buffer.size()));
    // Messages go out at once, ahead of buffered lines, on every C library.
    static_cast<void>(std::setvbuf(stderr, nullptr, _IONBF, 0));

    if (argc < 2) {
        usage(argc > 0 ? argv[0] : nullptr);
    }

    int output_error = 0;
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
        if (output_error == 0 &&
            std::fwrite(line.text.data(), 1, line.length, stdout) != line.length) {
            output_error = write_error();
        }
    }

    // Success means the lines reached their destination, so flush and check before saying so.
    if (std::fflush(stdout) != 0 && output_error == 0) {
        output_error = write_error();
    }
    if (std::ferror(stdout) != 0 && output_error == 0) {
        output_error = EIO;
    }
    if (output_error != 0) {
        fail_with_error(cannot_write_message, output_error, status_cannot_write);
    }
    return status_success;
}
