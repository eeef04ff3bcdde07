// SPDX-License-Identifier: MIT
// Scratch files for the tests, on every system the tests run on.
#ifndef PREFIXDB_TESTS_FILES_HPP
#define PREFIXDB_TESTS_FILES_HPP

#include <filesystem>
#include <string>
#include <string_view>

namespace prefixdb::test {

// A fresh directory, world-readable so that an unprivileged child can reach it; removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(std::string_view name) const;

private:
    std::string path_;
};

void write_file(const std::filesystem::path& path, std::string_view bytes);

// Bytes written as hexadecimal pairs, "68 57 46 35".
std::string bytes_of(std::string_view hex);

} // namespace prefixdb::test

#endif
