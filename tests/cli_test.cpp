// SPDX-License-Identifier: MIT
// End-to-end tests: start the built program and check standard output, standard error and the
// exit status separately. The same table serves every build of the tool: a build for another
// system runs under the program that PREFIXDB_TOOL_RUNNER names (Wine's loader, or qemu-user
// with its options), and PREFIXDB_TOOL_WINDOWS says that the tool is a Windows build.
#include "files.hpp"
#include "process.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using prefixdb::test::bytes_of;
using prefixdb::test::Launch;
using prefixdb::test::Output;
using prefixdb::test::Result;
using prefixdb::test::run;
using prefixdb::test::TempDir;
using prefixdb::test::write_file;

const char* const missing_file = "Cannot open input file: No such file or directory\n";
const char* const not_database = "No dial prefix database\n";

std::string tool() {
    const char* override = std::getenv("PREFIXDB_TOOL");
    return override != nullptr ? override : PREFIXDB_TOOL;
}

std::vector<std::string> runner() {
    std::vector<std::string> words;
    std::istringstream line(
        std::getenv("PREFIXDB_TOOL_RUNNER") != nullptr ? std::getenv("PREFIXDB_TOOL_RUNNER") : "");
    for (std::string word; line >> word;) {
        words.push_back(word);
    }
    return words;
}

bool windows() {
    return std::getenv("PREFIXDB_TOOL_WINDOWS") != nullptr;
}

// Starts program with the words argv, argv[0] first, through the runner if there is one.
// qemu-user passes argv[0] on with its -0 option; Wine passes the program's own path.
Launch start(const std::string& program, const std::vector<std::string>& argv) {
    Launch launch;
    launch.program = program;
    launch.argv = argv;
    const std::vector<std::string> words = runner();
    if (words.empty()) {
        return launch;
    }
    launch.program = words.front();
    launch.argv = words;
    if (!windows() && !argv.empty()) {
        launch.argv.insert(launch.argv.end(), {"-0", argv.front()});
    }
    launch.argv.push_back(program);
    if (!argv.empty()) {
        launch.argv.insert(launch.argv.end(), argv.begin() + 1, argv.end());
    }
    return launch;
}

// What the tool writes on its text streams for \n: CR LF on Windows.
std::string text(const std::string& lines) {
    if (!windows()) {
        return lines;
    }
    std::string translated;
    for (const char c : lines) {
        translated += c == '\n' ? "\r\n" : std::string(1, c);
    }
    return translated;
}

#define SKIP_ON_WINDOWS(why)                                                                       \
    if (windows()) {                                                                               \
        GTEST_SKIP() << "not for the Windows build: " << (why);                                    \
    }

std::string real(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : "";
}

// The path of a file as a Windows program under Wine sees it.
std::string wine_path(const std::string& path) {
    std::string shown = "Z:" + path;
    std::replace(shown.begin(), shown.end(), '/', '\\');
    return shown;
}

std::string usage_for(const std::string& path) {
    return path + ": Print the version of an areacode database\n\nUsage: \t" + path + " file ...\n";
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

// The databases and other files every case may name, made once for the whole program.
class Files : public testing::Environment {
public:
    void SetUp() override {
        dir = std::make_unique<TempDir>();
        const TempDir& d = *dir;
        write_file(d / "db-a", bytes_of("68 57 46 35 34 12 02 01") + "the body of the database");
        write_file(d / "db-b", bytes_of("68 57 46 35 01 00 02 03"));
        write_file(d / "db-ff", bytes_of("68 57 46 35 FF FF FF FF"));
        write_file(d / "db-short", bytes_of("68 57 46 35 34"));
        write_file(d / "-v", bytes_of("68 57 46 35 01 00 02 03"));
        write_file(d / "digit-4", bytes_of("68 57 46 34 34 12 02 01"));
        write_file(d / "three", bytes_of("68 57 46"));
        write_file(d / "empty", "");
        write_file(d / "text", "area code 0123: somewhere\n");
        write_file(d / "huge", bytes_of("68 57 46 35 34 12 02 01"));
        ASSERT_EQ(truncate((d / "huge").c_str(), 64LL << 30), 0) << "a sparse 64 GiB database";
        ASSERT_EQ(mkdir((d / "dir").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((d / "Каталог").c_str(), 0755), 0);
        for (const char* name : {"日本語.db", "🙂.db", "Каталог/база.db"}) {
            write_file(d / name, bytes_of("68 57 46 35 34 12 02 01"));
        }
    }
    void TearDown() override { dir.reset(); }

    static inline std::unique_ptr<TempDir> dir;
};

const testing::Environment* const files = testing::AddGlobalTestEnvironment(new Files);

Result run_in_files(std::vector<std::string> args, Output output = Output::pipe,
                    const std::string& output_path = "") {
    std::vector<std::string> argv{tool()};
    argv.insert(argv.end(), args.begin(), args.end());
    Launch launch = start(tool(), argv);
    launch.directory = Files::dir->path();
    launch.output = output;
    launch.output_path = output_path;
    return run(launch);
}

struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
    std::string windows_err = {}; // where Windows gives another reason
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Command : public testing::TestWithParam<Case> {};

TEST_P(Command, PrintsExpectedOutputErrorAndStatus) {
    const Case& c = GetParam();
    const Result result = run_in_files(c.args);
    EXPECT_EQ(result.out, text(c.out));
    EXPECT_EQ(result.err, text(windows() && !c.windows_err.empty() ? c.windows_err : c.err));
    EXPECT_EQ(result.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Command,
    testing::Values(
        Case{"one_database", {"db-a"}, "1 2 4660\n", "", 0},
        Case{"low_words", {"db-b"}, "3 2 1\n", "", 0},
        Case{"never_negative", {"db-ff"}, "255 255 65535\n", "", 0},
        Case{"several_in_order",
             {"db-b", "db-a", "db-ff"},
             "3 2 1\n1 2 4660\n255 255 65535\n",
             "",
             0},
        Case{"same_file_twice", {"db-a", "db-a"}, "1 2 4660\n1 2 4660\n", "", 0},
        Case{"truncated_header_reads_zeros", {"db-short", "db-b"}, "0 0 52\n3 2 1\n", "", 0},
        Case{"huge_sparse_file", {"huge"}, "1 2 4660\n", "", 0},
        Case{"dash_name_is_a_file", {"-v"}, "3 2 1\n", "", 0},
        Case{"names_in_any_script",
             {"日本語.db", "🙂.db", "Каталог/база.db"},
             "1 2 4660\n1 2 4660\n1 2 4660\n",
             "",
             0},
        Case{"lone_dash_is_a_missing_file", {"-"}, "", missing_file, 2},
        Case{"empty_name", {""}, "", missing_file, 2},
        Case{"missing_stops_the_walk", {"db-a", "missing", "text"}, "1 2 4660\n", missing_file, 2},
        Case{"directory", {"dir", "db-a"}, "", "Cannot open input file: Is a directory\n", 2},
        Case{"directory_after_database",
             {"db-a", "dir/"},
             "1 2 4660\n",
             "Cannot open input file: Is a directory\n",
             2},
        Case{"not_a_directory",
             {"db-a/x"},
             "",
             "Cannot open input file: Not a directory\n",
             2,
             missing_file},
        Case{"text_stops_the_walk", {"db-a", "text", "missing"}, "1 2 4660\n", not_database, 3},
        Case{"empty_file", {"db-a", "empty"}, "1 2 4660\n", not_database, 3},
        Case{"three_bytes", {"three"}, "", not_database, 3},
        Case{"digit_four_signature", {"digit-4", "db-a"}, "", not_database, 3}),
    [](const auto& param) { return std::string(param.param.name); });

// The copy lives in a folder whose name no single-byte code page holds.
TEST(Usage, NoFileNameShowsTheProgramsPathInUtf8) {
    TempDir scratch;
    const fs::path folder = scratch / "Каталог";
    ASSERT_TRUE(fs::create_directory(folder));
    const fs::path copy = folder / fs::path(tool()).filename();
    fs::copy_file(tool(), copy);
    fs::permissions(copy, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
    const std::string path = copy.string();

    const Result result = run(start(path, {path}));
    EXPECT_EQ(result.out, text(usage_for(windows() ? wine_path(path) : path)));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 1);
}

TEST(Usage, NoFileNamePrintsUsageWithTheRealPathOfTheProgram) {
    SKIP_ON_WINDOWS("Windows has no symlinks and no PATH lookup by argv[0]");
    TempDir scratch;
    const std::string link = scratch / "prefixdb-version";
    ASSERT_EQ(symlink(real(tool()).c_str(), link.c_str()), 0);
    const std::string tool_dir = real(tool()).substr(0, real(tool()).rfind('/'));

    struct Start {
        const char* how;
        std::string program;
        std::vector<std::string> argv;
        std::string directory;
    };
    const std::vector<Start> starts = {
        {"absolute path", tool(), {tool()}, ""},
        {"relative path", real(tool()), {"./prefixdb-version"}, tool_dir},
        {"symlink", link, {link}, ""},
        {"PATH lookup", link, {"prefixdb-version"}, ""},
        {"no words at all", tool(), {}, ""},
    };
    for (const Start& how : starts) {
        if (how.argv.empty() && !runner().empty()) {
            continue; // An emulator cannot start a program without any words.
        }
        Launch launch = start(how.program, how.argv);
        launch.directory = how.directory;
        const Result result = run(launch);
        EXPECT_EQ(result.out, usage_for(real(tool()))) << how.how;
        EXPECT_EQ(result.err, "") << how.how;
        EXPECT_EQ(result.status, 1) << how.how;
    }
}

TEST(Usage, WithoutProcTheNameIsResolvedAgainstTheWorkingDirectoryOrPath) {
    SKIP_ON_WINDOWS("Windows always reports the module's path");
    if (std::getenv("PREFIXDB_SANITIZED") != nullptr) {
        GTEST_SKIP() << "the sanitizer runtime in the program needs /proc itself";
    }
    if (!runner().empty()) {
        GTEST_SKIP() << "qemu-user answers for /proc/self/exe itself, with or without /proc";
    }
    if (!prefixdb::test::privileged()) {
        GTEST_SKIP() << "hiding /proc needs a private mount namespace, which needs root";
    }
    TempDir scratch;
    const std::string link = scratch / "prefixdb-version";
    ASSERT_EQ(symlink(real(tool()).c_str(), link.c_str()), 0);

    struct Start {
        const char* how;
        std::string argv0;
        std::string path;
        std::string shown;
    };
    const std::vector<Start> starts = {
        {"path with a slash", link, "/nowhere", real(tool())},
        {"relative to the working directory", "./prefixdb-version", "/nowhere", real(tool())},
        {"found in PATH", "prefixdb-version", "/nowhere:" + scratch.path(), real(tool())},
        {"found nowhere", "prefixdb-version", "/nowhere", "prefixdb-version"},
    };
    for (const Start& how : starts) {
        Launch launch = start(link, {how.argv0});
        launch.directory = scratch.path();
        launch.environment = {"PATH=" + how.path};
        launch.without_proc = true;
        const Result result = run(launch);
        EXPECT_EQ(result.out, usage_for(how.shown)) << how.how;
        EXPECT_EQ(result.err, "") << how.how;
        EXPECT_EQ(result.status, 1) << how.how;
    }
}

TEST(Permissions, UnreadableFileIsRefusedWithTheSystemText) {
    SKIP_ON_WINDOWS("Wine runs with the Unix user's rights and needs its own prefix");
    // Run as an ordinary user from a directory that user can reach, whoever runs the tests.
    TempDir scratch;
    const std::string copy = scratch / "prefixdb-version";
    write_file(copy, read_file(tool()));
    ASSERT_EQ(chmod(copy.c_str(), 0755), 0);
    write_file(scratch / "db", bytes_of("68 57 46 35 34 12 02 01"));
    write_file(scratch / "secret", bytes_of("68 57 46 35 34 12 02 01"));
    ASSERT_EQ(chmod((scratch / "secret").c_str(), 0), 0);

    Launch launch = start(copy, {copy, "db", "secret", "db"});
    launch.directory = scratch.path();
    launch.unprivileged = true;
    const Result result = run(launch);
    EXPECT_EQ(result.out, "1 2 4660\n");
    EXPECT_EQ(result.err, "Cannot open input file: Permission denied\n");
    EXPECT_EQ(result.status, 2);
}

TEST(FailedOutput, IsReportedWithStatusFourOnlyWhenAllElseSucceeded) {
    const std::string no_space = "Cannot write to standard output: No space left on device\n";
    const std::string closed = "Cannot write to standard output: Bad file descriptor\n";
    std::vector<std::string> many(400, "db-ff");

    struct Attempt {
        const char* what;
        Output output;
        std::vector<std::string> args;
        std::string err;
        int status;
    };
    const std::vector<Attempt> attempts = {
        {"full device", Output::file, {"db-a"}, no_space, 4},
        {"full device, several blocks", Output::file, many, no_space, 4},
        {"closed", Output::closed, {"db-a", "db-b"}, closed, 4},
        {"closed, several blocks", Output::closed, many, closed, 4},
        {"full device, then a missing file", Output::file, {"db-a", "missing"}, missing_file, 2},
        {"closed, then no database", Output::closed, {"db-a", "text"}, not_database, 3},
    };
    for (const Attempt& attempt : attempts) {
        const Result result = run_in_files(attempt.args, attempt.output, "/dev/full");
        EXPECT_EQ(result.out, "") << attempt.what;
        EXPECT_EQ(result.err, text(attempt.err)) << attempt.what;
        EXPECT_EQ(result.status, attempt.status) << attempt.what;
    }
}

TEST(Buffering, LinesBeforeAFailureStillReachAFile) {
    TempDir scratch;
    const Result result =
        run_in_files({"db-a", "db-b", "missing", "db-a"}, Output::file, scratch / "out");
    EXPECT_EQ(read_file(scratch / "out"), text("1 2 4660\n3 2 1\n"));
    EXPECT_EQ(result.err, text(missing_file));
    EXPECT_EQ(result.status, 2);
}

TEST(Buffering, OnAFileTheMessageFollowsTheFullBlocksAndPrecedesTheRest) {
    TempDir scratch;
    const std::string line = "255 255 65535\n";
    // 14-byte lines: 200 fit in one block, 400 fill one block and part of the next.
    for (const int lines : {3, 400, 600}) {
        std::vector<std::string> args(static_cast<std::size_t>(lines), "db-ff");
        args.push_back("missing");
        const Result result = run_in_files(args, Output::shared_file, scratch / "both");
        const std::string all = repeat(line, lines);
        const std::size_t flushed = all.size() / 4096 * 4096;
        EXPECT_EQ(read_file(scratch / "both"),
                  text(all.substr(0, flushed) + missing_file + all.substr(flushed)))
            << lines << " lines";
        EXPECT_EQ(result.status, 2);
    }
}

TEST(Buffering, OnATerminalEachLineGoesOutAtOnce) {
    SKIP_ON_WINDOWS("Wine offers no console on a pseudo-terminal");
    const Result result = run_in_files({"db-a", "db-b", "text"}, Output::terminal);
    EXPECT_EQ(result.out, "1 2 4660\r\n3 2 1\r\nNo dial prefix database\r\n");
    EXPECT_EQ(result.status, 3);
}

} // namespace
