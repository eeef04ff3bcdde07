// SPDX-License-Identifier: MIT
#include "executable_path.hpp"

#include <climits>
#include <cstdlib>
#include <string_view>

#if defined(_WIN32)
#include <vector>

#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif
#if defined(__APPLE__)
#include <cstdint>

#include <mach-o/dyld.h>
#elif defined(__FreeBSD__) || defined(__NetBSD__)
#include <sys/sysctl.h>
#include <sys/types.h>
#endif

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

// Each system's own answer to "which file is running", resolved to the real file.
#if defined(_WIN32)
bool system_reported_path(ExecutablePath& out) {
    std::vector<wchar_t> wide(MAX_PATH);
    while (true) {
        const DWORD length =
            GetModuleFileNameW(nullptr, wide.data(), static_cast<DWORD>(wide.size()));
        if (length == 0) {
            return false;
        }
        if (length < wide.size()) {
            break;
        }
        // The name was cut short to fit: try again with more room.
        wide.resize(wide.size() * 2);
    }
    // UTF-8, whatever the code page: the path may hold any character the file system allows.
    return WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, out.text.data(),
                               static_cast<int>(out.text.size()), nullptr, nullptr) > 0;
}
#elif defined(__APPLE__)
bool system_reported_path(ExecutablePath& out) {
    ExecutablePath raw{};
    auto size = static_cast<std::uint32_t>(raw.text.size());
    return _NSGetExecutablePath(raw.text.data(), &size) == 0 &&
           realpath(raw.text.data(), out.text.data()) != nullptr;
}
#elif defined(__FreeBSD__) || defined(__NetBSD__)
bool system_reported_path(ExecutablePath& out) {
#if defined(__FreeBSD__)
    const int name[] = {CTL_KERN, KERN_PROC, KERN_PROC_PATHNAME, -1};
#else
    const int name[] = {CTL_KERN, KERN_PROC_ARGS, -1, KERN_PROC_PATHNAME};
#endif
    std::size_t size = out.text.size();
    return sysctl(name, 4, out.text.data(), &size, nullptr, 0) == 0 && size > 1;
}
#elif defined(__linux__)
bool system_reported_path(ExecutablePath& out) {
    const ssize_t length = readlink("/proc/self/exe", out.text.data(), out.text.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= out.text.size()) {
        return false;
    }
    out.text[static_cast<std::size_t>(length)] = '\0';
    return true;
}
#else
bool system_reported_path(ExecutablePath&) {
    return false;
}
#endif

#if !defined(_WIN32)
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

bool find_program(std::string_view name, const char* search_path, ExecutablePath& out) {
    if (name.find('/') != std::string_view::npos) {
        return realpath(name.data(), out.text.data()) != nullptr;
    }
    return search_path != nullptr && find_in_search_path(name, search_path, out);
}
#endif

} // namespace

#if defined(_WIN32)
ExecutablePath executable_path(const NativeChar*) {
    ExecutablePath path{};
    if (!system_reported_path(path)) {
        copy_path(program_name, path);
    }
    return path;
}
#else
ExecutablePath resolve_program(const char* argv0, const char* search_path) {
    ExecutablePath path{};
    if (argv0 == nullptr || *argv0 == '\0') {
        copy_path(program_name, path);
        return path;
    }
    if (!find_program(argv0, search_path, path) && !copy_path(argv0, path)) {
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
#endif

} // namespace prefixdb
