#pragma once
// The 80-bit extended floating-point numbers of table files (64-bit significand with explicit
// integer bit, sign and 15-bit exponent), converted in portable integer arithmetic.

#include <QtGlobal>

namespace ExtendedFloat {
// Ten little-endian bytes of `value`; every double is represented exactly.
void encode(double value, unsigned char out[10]);
// Ten bytes of an integer; every 64-bit integer is represented exactly.
void encodeInteger(qint64 value, unsigned char out[10]);
// The nearest double (infinities and NaNs kept).
double decode(const unsigned char in[10]);
} // namespace ExtendedFloat
