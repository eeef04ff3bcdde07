// SPDX-License-Identifier: MIT
// Unit tests of the header reader and the version line, on streams held in memory.
#include "files.hpp"
#include "prefixdb_header.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using prefixdb::ByteStream;
using prefixdb::format_version_line;
using prefixdb::PrefixDbHeader;
using prefixdb::read_header;
using prefixdb::test::bytes_of;

// A file held in memory that records every request the reader makes of it.
struct MemoryFile {
    std::string bytes;
    std::size_t offset = 0;
    std::vector<std::size_t> requests;
};

std::size_t read_memory(void* source, unsigned char* bytes, std::size_t count) {
    MemoryFile& file = *static_cast<MemoryFile*>(source);
    file.requests.push_back(count);
    const std::size_t given = std::min(count, file.bytes.size() - file.offset);
    std::memcpy(bytes, file.bytes.data() + file.offset, given);
    file.offset += given;
    return given;
}

std::optional<PrefixDbHeader> read_from(MemoryFile& file) {
    return read_header(ByteStream{read_memory, &file});
}

struct HeaderCase {
    const char* name;
    std::string bytes;
    std::optional<PrefixDbHeader> expected;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(ReadHeader, DecodesTheWordsAfterTheSignatureOnly) {
    const HeaderCase& c = GetParam();
    MemoryFile file{c.bytes, 0, {}};

    const std::optional<PrefixDbHeader> header = read_from(file);

    ASSERT_EQ(header.has_value(), c.expected.has_value());
    if (header) {
        EXPECT_EQ(header->first_word, c.expected->first_word);
        EXPECT_EQ(header->second_word, c.expected->second_word);
        EXPECT_EQ(file.requests, (std::vector<std::size_t>{4, 2, 2}));
    } else {
        EXPECT_EQ(file.requests, std::vector<std::size_t>{4}) << "only the signature is asked for";
    }
}

const std::string signature = bytes_of("68 57 46 35");
const std::string long_tail(100000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, ReadHeader,
    testing::Values(
        HeaderCase{"little_endian_words", bytes_of("68 57 46 35 34 12 02 01"),
                   PrefixDbHeader{0x1234, 0x0102}},
        HeaderCase{"all_ones_stay_unsigned", bytes_of("68 57 46 35 FF FF FF FF"),
                   PrefixDbHeader{0xFFFF, 0xFFFF}},
        HeaderCase{"high_bits_set", bytes_of("68 57 46 35 80 80 80 80"),
                   PrefixDbHeader{0x8080, 0x8080}},
        HeaderCase{"zero_words", bytes_of("68 57 46 35 00 00 00 00"), PrefixDbHeader{0, 0}},
        HeaderCase{"rest_of_file_is_ignored",
                   bytes_of("68 57 46 35 01 00 02 03 68 57 46 34") + long_tail,
                   PrefixDbHeader{0x0001, 0x0302}},
        HeaderCase{"signature_only_reads_zero_words", signature, PrefixDbHeader{0, 0}},
        HeaderCase{"one_byte_of_first_word", bytes_of("68 57 46 35 34"), PrefixDbHeader{0x0034, 0}},
        HeaderCase{"one_byte_of_second_word", bytes_of("68 57 46 35 34 12 02"),
                   PrefixDbHeader{0x1234, 0x0002}},
        HeaderCase{"digit_four_for_five", bytes_of("68 57 46 34 34 12 02 01"), std::nullopt},
        HeaderCase{"first_byte_differs", bytes_of("00 57 46 35 34 12 02 01"), std::nullopt},
        HeaderCase{"signature_byte_swapped", bytes_of("35 46 57 68 34 12 02 01"), std::nullopt},
        HeaderCase{"lower_case_letters", std::string("hwf5\x01\x02\x03\x04"), std::nullopt},
        HeaderCase{"text", std::string("hello, world\n"), std::nullopt},
        HeaderCase{"three_bytes_of_signature", bytes_of("68 57 46"), std::nullopt},
        HeaderCase{"empty", std::string(), std::nullopt}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ReadHeader, ResultDependsOnTheFirstEightBytesAlone) {
    const std::string header = bytes_of("68 57 46 35 34 12 02 01");
    for (const std::string& tail : {std::string(), std::string(1, '\0'), long_tail}) {
        MemoryFile file{header + tail, 0, {}};
        const std::optional<PrefixDbHeader> result = read_from(file);
        ASSERT_TRUE(result.has_value()) << "tail of " << tail.size() << " bytes";
        EXPECT_EQ(result->first_word, 0x1234);
        EXPECT_EQ(result->second_word, 0x0102);
        EXPECT_EQ(file.offset, 8U);
    }
}

struct LineCase {
    PrefixDbHeader header;
    const char* expected;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.expected;
}

class FormatVersionLine : public testing::TestWithParam<LineCase> {};

TEST_P(FormatVersionLine, PrintsHighLowThenFirstWordInDecimal) {
    const prefixdb::VersionLine line = format_version_line(GetParam().header);
    EXPECT_EQ(std::string(line.text.data(), line.length), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, FormatVersionLine,
                         testing::Values(LineCase{{0x1234, 0x0102}, "1 2 4660\n"},
                                         LineCase{{0x0001, 0x0302}, "3 2 1\n"},
                                         LineCase{{0, 0}, "0 0 0\n"},
                                         LineCase{{0x8080, 0x8080}, "128 128 32896\n"},
                                         LineCase{{10, 0x0A64}, "10 100 10\n"},
                                         LineCase{{0xFFFF, 0xFFFF}, "255 255 65535\n"}));

} // namespace
