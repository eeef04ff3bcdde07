// SPDX-License-Identifier: MIT
#include "prefixdb_header.hpp"

#include <charconv>

namespace prefixdb {
namespace {

constexpr std::array<unsigned char, 4> signature{0x68, 0x57, 0x46, 0x35};

// The bytes a short file lacks count as zero.
std::uint16_t read_word(const ByteStream& stream) {
    std::array<unsigned char, 2> bytes{};
    const std::size_t got = stream.read(stream.source, bytes.data(), bytes.size());
    const unsigned low = got > 0 ? bytes[0] : 0U;
    const unsigned high = got > 1 ? bytes[1] : 0U;
    return static_cast<std::uint16_t>(low | high << 8U);
}

char* put_number(char* first, char* last, unsigned value) {
    return std::to_chars(first, last, value).ptr;
}

} // namespace

std::optional<PrefixDbHeader> read_header(const ByteStream& stream) {
    std::array<unsigned char, signature.size()> bytes{};
    if (stream.read(stream.source, bytes.data(), bytes.size()) != bytes.size() ||
        bytes != signature) {
        return std::nullopt;
    }
    const std::uint16_t first_word = read_word(stream);
    const std::uint16_t second_word = read_word(stream);
    return PrefixDbHeader{first_word, second_word};
}

VersionLine format_version_line(const PrefixDbHeader& header) {
    VersionLine line{};
    char* const first = line.text.data();
    char* const last = first + line.text.size();
    char* next = put_number(first, last, high_byte(header.second_word));
    *next++ = ' ';
    next = put_number(next, last, low_byte(header.second_word));
    *next++ = ' ';
    next = put_number(next, last, header.first_word);
    *next++ = '\n';
    line.length = static_cast<std::size_t>(next - first);
    return line;
}

} // namespace prefixdb
