// SPDX-License-Identifier: MIT
// libFuzzer target for the header reader. The input is the start of a file; the reader sees it
// through a stream that records how far it was asked to read.
#include "prefixdb_header.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace {

struct Source {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
    std::size_t furthest; // the end of the furthest range asked for
};

std::size_t read_source(void* cookie, unsigned char* buffer, std::size_t length) {
    auto* source = static_cast<Source*>(cookie);
    source->furthest = std::max(source->furthest, source->offset + length);
    const std::size_t count = std::min(length, source->size - source->offset);
    std::memcpy(buffer, source->data + source->offset, count);
    source->offset += count;
    return count;
}

struct Reading {
    std::optional<prefixdb::PrefixDbHeader> header;
    std::size_t furthest;
};

Reading read_from(const std::uint8_t* data, std::size_t size) {
    Source source{data, size, 0, 0};
    const std::optional<prefixdb::PrefixDbHeader> header =
        prefixdb::read_header(prefixdb::ByteStream{read_source, &source});
    return {header, source.furthest};
}

void check(bool invariant) {
    if (!invariant) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::array<std::uint8_t, 4> signature{0x68, 0x57, 0x46, 0x35};
    const Reading whole = read_from(data, size);

    // A result exactly when the first four bytes are the signature.
    const bool signed_file = size >= 4 && std::equal(signature.begin(), signature.end(), data);
    check(whole.header.has_value() == signed_file);

    // The reader never asks for anything past the eighth byte.
    check(whole.furthest <= 8);

    // The result is the words of bytes 4 to 7, little-endian, missing bytes counting as zero.
    if (whole.header) {
        std::array<std::uint8_t, 8> padded{};
        std::copy_n(data, std::min<std::size_t>(size, padded.size()), padded.begin());
        check(whole.header->first_word == (padded[4] | padded[5] << 8));
        check(whole.header->second_word == (padded[6] | padded[7] << 8));
    }

    // It depends on the first eight bytes alone.
    const Reading prefix = read_from(data, std::min<std::size_t>(size, 8));
    check(prefix.header.has_value() == whole.header.has_value());
    if (whole.header) {
        check(prefix.header->first_word == whole.header->first_word);
        check(prefix.header->second_word == whole.header->second_word);
    }
    return 0;
}
