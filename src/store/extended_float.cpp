#include "store/extended_float.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {
void store(uint64_t mantissa, unsigned exponentAndSign, unsigned char out[10])
{
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<unsigned char>(mantissa >> (8 * i));
    out[8] = static_cast<unsigned char>(exponentAndSign & 0xFF);
    out[9] = static_cast<unsigned char>(exponentAndSign >> 8);
}
constexpr unsigned Bias = 16383;
} // namespace

namespace ExtendedFloat {

void encode(double value, unsigned char out[10])
{
    const unsigned sign = std::signbit(value) ? 0x8000u : 0u;
    if (std::isnan(value))
        return store(0xC000000000000000ull, sign | 0x7FFF, out);
    if (std::isinf(value))
        return store(0x8000000000000000ull, sign | 0x7FFF, out);
    const uint64_t bits = std::bit_cast<uint64_t>(std::fabs(value));
    const unsigned e = unsigned(bits >> 52);
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    if (e == 0 && fraction == 0)
        return store(0, sign, out);
    if (e == 0) { // subnormal double: normalise the significand
        const int shift = std::countl_zero(fraction);
        const int exponent = int(Bias) + 63 - 1074 - shift;
        return store(fraction << shift, sign | unsigned(exponent), out);
    }
    store((uint64_t(1) << 63) | (fraction << 11), sign | (e - 1023 + Bias), out);
}

void encodeInteger(qint64 value, unsigned char out[10])
{
    const unsigned sign = value < 0 ? 0x8000u : 0u;
    const uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    if (magnitude == 0)
        return store(0, 0, out);
    const int shift = std::countl_zero(magnitude);
    store(magnitude << shift, sign | unsigned(int(Bias) + 63 - shift), out);
}

double decode(const unsigned char in[10])
{
    uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i)
        mantissa = (mantissa << 8) | in[i];
    const unsigned se = unsigned(in[8]) | (unsigned(in[9]) << 8);
    const bool negative = (se & 0x8000) != 0;
    const int exponent = int(se & 0x7FFF);
    double v;
    if (exponent == 0x7FFF)
        v = (mantissa << 1) == 0 ? HUGE_VAL : std::nan("");
    else if (mantissa == 0)
        v = 0.0;
    else
        v = std::ldexp(double(mantissa), (exponent == 0 ? 1 : exponent) - int(Bias) - 63);
    return negative ? -v : v;
}

} // namespace ExtendedFloat
