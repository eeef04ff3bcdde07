// SPDX-License-Identifier: MIT
// Reading the eight-byte header at the start of a dial prefix database.
#ifndef PREFIXDB_HEADER_HPP
#define PREFIXDB_HEADER_HPP

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace prefixdb {

// The two little-endian words that follow the four-byte signature ("hWF5") and together make
// up the database's version.
struct PrefixDbHeader {
    std::uint16_t first_word;
    std::uint16_t second_word;
};

// An open file as the reader sees it. read stores up to count bytes from source at bytes and
// returns how many it stored; fewer than count means the file ended or could not be read.
struct ByteStream {
    std::size_t (*read)(void* source, unsigned char* bytes, std::size_t count);
    void* source;
};

// Reads the header from a stream positioned at its first byte. Returns nothing when the stream
// does not begin with the signature. A header cut short after the signature is accepted, with
// each missing byte read as zero. Asks for four bytes, then two and two more only when the
// signature matched; never seeks, never reports read errors apart from end of file.
std::optional<PrefixDbHeader> read_header(const ByteStream& stream);

constexpr std::uint8_t high_byte(std::uint16_t word) {
    return static_cast<std::uint8_t>(word >> 8U);
}

constexpr std::uint8_t low_byte(std::uint16_t word) {
    return static_cast<std::uint8_t>(word & 0xFFU);
}

// The longest line is "255 255 65535\n".
inline constexpr std::size_t max_version_line = 14;

struct VersionLine {
    std::array<char, max_version_line> text;
    std::size_t length;
};

// The line printed for a database: the high byte of the second word, its low byte and the first
// word, in decimal, separated by single spaces and ended by a newline.
VersionLine format_version_line(const PrefixDbHeader& header);

} // namespace prefixdb

#endif
