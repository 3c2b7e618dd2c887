#pragma once
// The LZH coder of compressed table files and in-memory memo values: an LZSS sliding window
// (4096 bytes, matches of 3 to 60) with an adaptive Huffman coder, bit for bit as fixed.

#include <QByteArray>
#include <vector>

namespace LzhCodec {
// The LZH code of `plain` (an empty input gives an empty code).
QByteArray compress(const QByteArray& plain);
QByteArray compress(const char* data, qsizetype size);
// Decodes until at least `expectedSize` bytes were produced. The result can be shorter (the
// code ran out long before) or up to 59 bytes longer (a last match crossed the end): callers
// compare its size with what they expected. Never reads or writes out of bounds.
QByteArray expand(const char* code, qsizetype codeSize, qint64 expectedSize);

// One decoded symbol: a literal byte (length 1, position -1) or a match (length 3-60 and the
// coded position). For inspecting a code in tests and the tool.
struct Token {
    int length;
    int position;
    int literal;
};
std::vector<Token> tokens(const QByteArray& code, qint64 expectedSize);
} // namespace LzhCodec
