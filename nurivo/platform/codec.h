// CP932 (Shift-JIS as Windows writes it) on disk, UTF-8 in memory.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Decodes CP932 bytes. A byte sequence that is not CP932 becomes U+FFFD and decoding goes on
// with the next byte, so a damaged file never loses the text after the damage.
std::string cp932ToUtf8(std::string_view cp932);

// Encodes UTF-8 text. A character that CP932 cannot hold (or a malformed UTF-8 sequence)
// is written as "?".
std::string utf8ToCp932(std::string_view utf8);

// Number of bytes the text takes in CP932: the width unit of the fixed-width columns.
std::size_t cp932Length(std::string_view utf8);
