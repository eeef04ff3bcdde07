#include "prefixdb_header.hpp"
#include "support.hpp"

#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace {

using prefixdb::format_version_line;
using prefixdb::PrefixDbHeader;
using prefixdb::read_header;
using prefixdb::test::bytes_of;

struct StreamCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

Stream stream_of(const std::string& bytes) {
    Stream stream(std::tmpfile());
    if (!stream || std::fwrite(bytes.data(), 1, bytes.size(), stream.get()) != bytes.size()) {
        ADD_FAILURE() << "cannot prepare a scratch stream";
        return stream;
    }
    std::rewind(stream.get());
    return stream;
}

struct HeaderCase {
    const char* name;
    std::string bytes;
    std::optional<PrefixDbHeader> expected;
    long position_after; // how far the reader may have gone into the stream
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class ReadHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(ReadHeader, DecodesTheWordsAfterTheSignatureOnly) {
    const HeaderCase& c = GetParam();
    const Stream stream = stream_of(c.bytes);
    ASSERT_TRUE(stream);

    const std::optional<PrefixDbHeader> header = read_header(stream.get());

    ASSERT_EQ(header.has_value(), c.expected.has_value());
    if (header) {
        EXPECT_EQ(header->first_word, c.expected->first_word);
        EXPECT_EQ(header->second_word, c.expected->second_word);
    }
    EXPECT_EQ(std::ftell(stream.get()), c.position_after);
}

const std::string signature = bytes_of("68 57 46 35");
const std::string long_tail(100000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, ReadHeader,
    testing::Values(
        HeaderCase{"little_endian_words", bytes_of("68 57 46 35 34 12 02 01"),
                   PrefixDbHeader{0x1234, 0x0102}, 8},
        HeaderCase{"all_ones_stay_unsigned", bytes_of("68 57 46 35 FF FF FF FF"),
                   PrefixDbHeader{0xFFFF, 0xFFFF}, 8},
        HeaderCase{"high_bits_set", bytes_of("68 57 46 35 80 80 80 80"),
                   PrefixDbHeader{0x8080, 0x8080}, 8},
        HeaderCase{"zero_words", bytes_of("68 57 46 35 00 00 00 00"), PrefixDbHeader{0, 0}, 8},
        HeaderCase{"rest_of_file_is_ignored",
                   bytes_of("68 57 46 35 01 00 02 03 68 57 46 34") + long_tail,
                   PrefixDbHeader{0x0001, 0x0302}, 8},
        HeaderCase{"signature_only_reads_zero_words", signature, PrefixDbHeader{0, 0}, 4},
        HeaderCase{"one_byte_of_first_word", bytes_of("68 57 46 35 34"), PrefixDbHeader{0x0034, 0},
                   5},
        HeaderCase{"one_byte_of_second_word", bytes_of("68 57 46 35 34 12 02"),
                   PrefixDbHeader{0x1234, 0x0002}, 7},
        HeaderCase{"digit_four_for_five", bytes_of("68 57 46 34 34 12 02 01"), std::nullopt, 4},
        HeaderCase{"first_byte_differs", bytes_of("00 57 46 35 34 12 02 01"), std::nullopt, 4},
        HeaderCase{"signature_byte_swapped", bytes_of("35 46 57 68 34 12 02 01"), std::nullopt, 4},
        HeaderCase{"lower_case_letters", std::string("hwf5\x01\x02\x03\x04"), std::nullopt, 4},
        HeaderCase{"text", std::string("hello, world\n"), std::nullopt, 4},
        HeaderCase{"three_bytes_of_signature", bytes_of("68 57 46"), std::nullopt, 3},
        HeaderCase{"empty", std::string(), std::nullopt, 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ReadHeader, ResultDependsOnTheFirstEightBytesAlone) {
    const std::string header = bytes_of("68 57 46 35 34 12 02 01");
    for (const std::string& tail : {std::string(), std::string(1, '\0'), long_tail}) {
        const Stream stream = stream_of(header + tail);
        ASSERT_TRUE(stream);
        const std::optional<PrefixDbHeader> result = read_header(stream.get());
        ASSERT_TRUE(result.has_value()) << "tail of " << tail.size() << " bytes";
        EXPECT_EQ(result->first_word, 0x1234);
        EXPECT_EQ(result->second_word, 0x0102);
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
