// SPDX-License-Identifier: MIT
// Unit tests of opening and reading database files through the system's own calls.
#include "files.hpp"
#include "input_file.hpp"
#include "prefixdb_header.hpp"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using prefixdb::byte_stream;
using prefixdb::close_input;
using prefixdb::InputFile;
using prefixdb::open_input;
using prefixdb::PrefixDbHeader;
using prefixdb::test::bytes_of;
using prefixdb::test::TempDir;
using prefixdb::test::write_file;

const std::string database = bytes_of("68 57 46 35 34 12 02 01");

fs::path path_of(const TempDir& dir, const char8_t* name) {
    return fs::path(dir.path()) / fs::path(name);
}

// Opens, reads the header and closes, as the tool does; EISDIR for a directory that opened.
struct Reading {
    int error;
    std::optional<PrefixDbHeader> header;
    std::size_t bytes_read;
};

Reading read_file_header(const fs::path& path) {
    InputFile file{};
    const int error = open_input(path.c_str(), file);
    if (error != 0) {
        return {error, std::nullopt, 0};
    }
    const std::optional<PrefixDbHeader> header = read_header(byte_stream(file));
    close_input(file);
    return {header || file.error != EISDIR ? 0 : EISDIR, header, file.filled};
}

TEST(InputFile, ReadsTheHeaderAndNothingPastIt) {
    TempDir dir;
    write_file(dir / "long", database + std::string(100000, 'x'));
    write_file(dir / "short", bytes_of("68 57 46 35 34"));

    const Reading whole = read_file_header(dir / "long");
    ASSERT_EQ(whole.error, 0);
    ASSERT_TRUE(whole.header.has_value());
    EXPECT_EQ(whole.header->first_word, 0x1234);
    EXPECT_EQ(whole.header->second_word, 0x0102);
    EXPECT_EQ(whole.bytes_read, 8U);

    const Reading cut = read_file_header(dir / "short");
    ASSERT_TRUE(cut.header.has_value());
    EXPECT_EQ(cut.header->first_word, 0x0034);
    EXPECT_EQ(cut.header->second_word, 0);
    EXPECT_EQ(cut.bytes_read, 5U);
}

// On 32-bit systems this needs large-file support: without it the open itself fails.
TEST(InputFile, OpensADatabaseLargerThanFourGibibytes) {
    TempDir dir;
    const fs::path path = dir / "huge";
    write_file(path, database);
    fs::resize_file(path, std::uintmax_t{5} << 30U);

    const Reading reading = read_file_header(path);
    ASSERT_EQ(reading.error, 0) << std::strerror(reading.error);
    ASSERT_TRUE(reading.header.has_value());
    EXPECT_EQ(reading.header->first_word, 0x1234);
}

TEST(InputFile, OpensNamesInAnyScript) {
    TempDir dir;
    ASSERT_TRUE(fs::create_directory(path_of(dir, u8"Каталог")));
    for (const char8_t* name : {u8"日本語.db", u8"🙂.db", u8"Каталог/база.db"}) {
        write_file(path_of(dir, name), database);
        const Reading reading = read_file_header(path_of(dir, name));
        EXPECT_EQ(reading.error, 0) << std::strerror(reading.error);
        EXPECT_TRUE(reading.header.has_value());
    }
}

TEST(InputFile, RefusesWhatCannotBeReadWithTheReason) {
    TempDir dir;
    ASSERT_TRUE(fs::create_directory(dir / "dir"));
    EXPECT_EQ(read_file_header(dir / "missing").error, ENOENT);
    EXPECT_EQ(read_file_header("").error, ENOENT);
    EXPECT_EQ(read_file_header(dir / "dir").error, EISDIR);
}

// A script reading a version must never make a program that replaces the database fail.
TEST(InputFile, OthersMayWriteRenameAndDeleteTheFileWhileItIsOpen) {
    TempDir dir;
    const fs::path path = dir / "db";
    write_file(path, database);
    InputFile file{};
    ASSERT_EQ(open_input(path.c_str(), file), 0);

    std::ofstream(path, std::ios::binary | std::ios::app) << "more records";
    std::error_code error;
    fs::rename(path, dir / "db.old", error);
    EXPECT_FALSE(error) << "rename: " << error.message();
    write_file(path, bytes_of("68 57 46 35 00 00 00 00"));
    fs::remove(dir / "db.old", error);
    EXPECT_FALSE(error) << "delete: " << error.message();

    const std::optional<PrefixDbHeader> header = read_header(byte_stream(file));
    close_input(file);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->first_word, 0x1234) << "the file that was opened is the one read";
}

#ifndef _WIN32
// A pipe may hand the header over in pieces; the reader still gets the bytes it asks for.
TEST(InputFile, GathersAHeaderThatArrivesInPieces) {
    TempDir dir;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&fifo] {
        std::ofstream out(fifo, std::ios::binary);
        for (const char* piece : {"68 57", "46 35 34", "12 02 01 FF"}) {
            out << bytes_of(piece) << std::flush;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const Reading reading = read_file_header(fifo);
    writer.join();
    ASSERT_TRUE(reading.header.has_value());
    EXPECT_EQ(reading.header->first_word, 0x1234);
    EXPECT_EQ(reading.header->second_word, 0x0102);
    EXPECT_EQ(reading.bytes_read, 8U);
}
#endif

} // namespace
