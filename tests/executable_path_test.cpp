// SPDX-License-Identifier: MIT
// Unit tests of finding the program by the name it was started under.
#include "executable_path.hpp"
#include "files.hpp"

#include <climits>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using prefixdb::resolve_program;
using prefixdb::test::TempDir;
using prefixdb::test::write_file;

std::string real(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

std::string resolved(const char* argv0, const char* search_path) {
    return resolve_program(argv0, search_path).text.data();
}

class ResolveProgram : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mkdir((dir / "bin").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((dir / "other").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((dir / "other/tool").c_str(), 0755), 0);
        write_file(program, "#!/bin/sh\n");
        ASSERT_EQ(chmod(program.c_str(), 0755), 0);
        write_file(dir / "other/plain", "not a program\n");
        ASSERT_EQ(chmod((dir / "other/plain").c_str(), 0644), 0);
        ASSERT_EQ(symlink(program.c_str(), (dir / "link").c_str()), 0);
    }

    TempDir dir;
    std::string program = dir / "bin/tool";
};

TEST_F(ResolveProgram, NameWithSlashResolvesToTheRealFile) {
    EXPECT_EQ(resolved((dir / "bin/../bin/tool").c_str(), nullptr), real(program));
    EXPECT_EQ(resolved((dir / "link").c_str(), "/nowhere"), real(program));
}

TEST_F(ResolveProgram, BareNameIsLookedUpInTheSearchPath) {
    const std::string search = "/nowhere:" + (dir / "other") + ":" + (dir / "bin");
    EXPECT_EQ(resolved("tool", search.c_str()), real(program))
        << "a directory named like the program is no match";

    const std::string plain_first = (dir / "other") + ":" + (dir / "bin");
    write_file(dir / "bin/plain", "#!/bin/sh\n");
    ASSERT_EQ(chmod((dir / "bin/plain").c_str(), 0755), 0);
    EXPECT_EQ(resolved("plain", plain_first.c_str()), real(dir / "bin/plain"))
        << "a file that may not be executed is no match";
}

TEST_F(ResolveProgram, EmptySearchPathEntryMeansTheWorkingDirectory) {
    char previous[PATH_MAX];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir((dir / "bin").c_str()), 0);
    const std::string found = resolved("tool", "/nowhere::/nowhere/either");
    ASSERT_EQ(chdir(previous), 0);
    EXPECT_EQ(found, real(program));
}

TEST_F(ResolveProgram, UnresolvableNamesAreKeptAsGiven) {
    EXPECT_EQ(resolved("tool", "/nowhere"), "tool");
    EXPECT_EQ(resolved("tool", nullptr), "tool");
    EXPECT_EQ(resolved("no/such/tool", "/nowhere"), "no/such/tool");
    EXPECT_EQ(resolved(nullptr, "/nowhere"), "prefixdb-version");
    EXPECT_EQ(resolved("", "/nowhere"), "prefixdb-version");
    const std::string too_long(5000, 'x');
    EXPECT_EQ(resolved(too_long.c_str(), "/nowhere"), "prefixdb-version");
}

} // namespace
