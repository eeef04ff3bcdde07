#include "executable_path.hpp"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

namespace prefixdb {
namespace {

constexpr std::string_view program_name = "prefixdb-version";

#ifdef PATH_MAX
static_assert(max_path >= PATH_MAX, "realpath writes up to PATH_MAX bytes");
#endif

bool copy_path(std::string_view path, ExecutablePath& out) {
    if (path.size() >= out.text.size()) {
        return false;
    }
    path.copy(out.text.data(), path.size());
    out.text[path.size()] = '\0';
    return true;
}

bool system_reported_path(ExecutablePath& out) {
#if defined(__linux__)
    const ssize_t length = readlink("/proc/self/exe", out.text.data(), out.text.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= out.text.size()) {
        return false;
    }
    out.text[static_cast<std::size_t>(length)] = '\0';
    return true;
#else
    static_cast<void>(out);
    return false;
#endif
}

bool is_executable_file(const char* path) {
    struct stat status {};
    return stat(path, &status) == 0 && S_ISREG(status.st_mode) && access(path, X_OK) == 0;
}

bool find_in_search_path(std::string_view name, std::string_view search_path, ExecutablePath& out) {
    while (true) {
        const std::size_t colon = search_path.find(':');
        std::string_view directory = search_path.substr(0, colon);
        if (directory.empty()) {
            directory = ".";
        }
        ExecutablePath candidate{};
        const std::size_t length = directory.size() + 1 + name.size();
        if (length < candidate.text.size()) {
            directory.copy(candidate.text.data(), directory.size());
            candidate.text[directory.size()] = '/';
            name.copy(candidate.text.data() + directory.size() + 1, name.size());
            candidate.text[length] = '\0';
            if (is_executable_file(candidate.text.data()) &&
                realpath(candidate.text.data(), out.text.data()) != nullptr) {
                return true;
            }
        }
        if (colon == std::string_view::npos) {
            return false;
        }
        search_path.remove_prefix(colon + 1);
    }
}

} // namespace

ExecutablePath resolve_program(const char* argv0, const char* search_path) {
    ExecutablePath path{};
    if (argv0 == nullptr || *argv0 == '\0') {
        copy_path(program_name, path);
        return path;
    }
    const std::string_view name = argv0;
    const bool found = name.find('/') != std::string_view::npos
                           ? realpath(argv0, path.text.data()) != nullptr
                           : search_path != nullptr && find_in_search_path(name, search_path, path);
    if (!found && !copy_path(name, path)) {
        copy_path(program_name, path);
    }
    return path;
}

ExecutablePath executable_path(const char* argv0) {
    ExecutablePath path{};
    if (system_reported_path(path)) {
        return path;
    }
    return resolve_program(argv0, std::getenv("PATH"));
}

} // namespace prefixdb
