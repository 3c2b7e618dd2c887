#include "store/lzh_codec.h"

#include "platform/errors.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr int N = 4096;
constexpr int F = 60;
constexpr int THRESHOLD = 2;
constexpr int NIL = N;
constexpr int N_CHAR = 256 - THRESHOLD + F;
constexpr int T = N_CHAR * 2 - 1;
constexpr int R = T - 1;
constexpr unsigned MAX_FREQ = 0x8000;
// Extra bytes after the window so that word-wise comparisons may read past its end.
constexpr int WindowPad = 16;

// Position-high prefix code (value -> length, left-aligned 8-bit code) and its decoding
// tables, derived from the code lengths once.
struct PositionCode {
    uint8_t len[64];
    uint8_t code[64];
    uint8_t dcode[256];
    uint8_t dlen[256];
    PositionCode()
    {
        unsigned c = 0;
        for (int v = 0; v < 64; ++v) {
            const int l = v == 0 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
            len[v] = uint8_t(l);
            code[v] = uint8_t(c);
            for (unsigned b = c; b < c + (1u << (8 - l)); ++b) {
                dcode[b] = uint8_t(v);
                dlen[b] = uint8_t(l);
            }
            c += 1u << (8 - l);
        }
    }
};
const PositionCode& positionCode()
{
    static const PositionCode pc;
    return pc;
}

// The adaptive Huffman tree shared by both directions.
struct Huffman {
    uint16_t freq[T + 1];
    int16_t son[T];
    int16_t prnt[T + N_CHAR];

    void start()
    {
        for (int i = 0; i < N_CHAR; ++i) {
            freq[i] = 1;
            son[i] = int16_t(i + T);
            prnt[i + T] = int16_t(i);
        }
        for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
            freq[j] = uint16_t(freq[i] + freq[i + 1]);
            son[j] = int16_t(i);
            prnt[i] = prnt[i + 1] = int16_t(j);
        }
        freq[T] = 0xFFFF;
        prnt[R] = 0;
    }

    void rebuild()
    {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (son[i] >= T) {
                freq[j] = uint16_t((freq[i] + 1) / 2);
                son[j] = son[i];
                ++j;
            }
        }
        for (int i = 0, jj = N_CHAR; jj < T; i += 2, ++jj) {
            const unsigned f = unsigned(freq[i]) + freq[i + 1];
            int k = jj - 1;
            while (f < freq[k])
                --k;
            ++k;
            const int count = jj - k;
            std::memmove(&freq[k + 1], &freq[k], size_t(count) * sizeof(freq[0]));
            freq[k] = uint16_t(f);
            std::memmove(&son[k + 1], &son[k], size_t(count) * sizeof(son[0]));
            son[k] = int16_t(i);
        }
        for (int i = 0; i < T; ++i) {
            const int k = son[i];
            if (k >= T)
                prnt[k] = int16_t(i);
            else
                prnt[k] = prnt[k + 1] = int16_t(i);
        }
    }

    void update(int c)
    {
        if (freq[R] == MAX_FREQ)
            rebuild();
        c = prnt[c + T];
        do {
            const unsigned k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                while (k > freq[l + 1])
                    ++l;
                freq[c] = freq[l];
                freq[l] = uint16_t(k);
                const int i = son[c];
                prnt[i] = int16_t(l);
                if (i < T)
                    prnt[i + 1] = int16_t(l);
                const int j = son[l];
                son[l] = int16_t(i);
                prnt[j] = int16_t(c);
                if (j < T)
                    prnt[j + 1] = int16_t(c);
                son[c] = int16_t(j);
                c = l;
            }
        } while ((c = prnt[c]) != 0);
    }
};

// Bit output exactly as the format's 16-bit put buffer behaves, into a growing byte array.
class BitWriter {
public:
    explicit BitWriter(qsizetype reserve) { m_out.reserve(reserve); }
    void put(int l, unsigned c)
    {
        m_buf = uint16_t(m_buf | (c >> m_len));
        m_len += l;
        if (m_len >= 8) {
            m_out.push_back(char(m_buf >> 8));
            m_len -= 8;
            if (m_len >= 8) {
                m_out.push_back(char(m_buf & 0xFF));
                m_len -= 8;
                m_buf = uint16_t(c << (l - m_len));
            } else {
                m_buf = uint16_t(m_buf << 8);
            }
        }
    }
    QByteArray finish()
    {
        if (m_len != 0)
            m_out.push_back(char(m_buf >> 8));
        return std::move(m_out);
    }

private:
    QByteArray m_out;
    uint16_t m_buf = 0;
    int m_len = 0;
};

// Bit input: bits taken in order, most significant first; past the end every bit is zero.
class BitReader {
public:
    BitReader(const uint8_t* data, qsizetype size) : m_p(data), m_end(data + size) {}
    unsigned bit()
    {
        if (m_count == 0)
            refill();
        const unsigned b = unsigned(m_buf >> 63);
        m_buf <<= 1;
        --m_count;
        return b;
    }
    unsigned byte()
    {
        if (m_count < 8)
            refill();
        const unsigned b = unsigned(m_buf >> 56);
        m_buf <<= 8;
        m_count -= 8;
        return b;
    }
    // Bytes of zero padding consumed after the input ran out.
    qsizetype overrun() const { return m_overrun; }

private:
    void refill()
    {
        while (m_count <= 56) {
            uint64_t b = 0;
            if (m_p < m_end)
                b = *m_p++;
            else
                ++m_overrun;
            m_buf |= b << (56 - m_count);
            m_count += 8;
        }
    }
    const uint8_t* m_p;
    const uint8_t* m_end;
    uint64_t m_buf = 0;
    int m_count = 0;
    qsizetype m_overrun = 0;
};

struct Encoder {
    Huffman huff;
    uint8_t window[N + F - 1 + WindowPad];
    int lson[N + 257];
    int rson[N + 257];
    int dad[N + 257];
    int matchPosition = 0;
    int matchLength = 0;

    // Number of equal bytes of window[a..] and window[b..], from offset 1, at most F; and the
    // sign of the first difference.
    inline int compareFrom1(const uint8_t* key, const uint8_t* other, int& cmp) const
    {
        int i = 1;
        if constexpr (std::endian::native == std::endian::little) {
            while (i < F) {
                uint64_t x, y;
                std::memcpy(&x, key + i, 8);
                std::memcpy(&y, other + i, 8);
                const uint64_t d = x ^ y;
                if (d != 0) {
                    const int at = i + std::countr_zero(d) / 8;
                    if (at >= F)
                        break;
                    cmp = int(key[at]) - int(other[at]);
                    return at;
                }
                i += 8;
            }
            cmp = 0;
            return F;
        } else {
            for (; i < F; ++i) {
                if ((cmp = int(key[i]) - int(other[i])) != 0)
                    return i;
            }
            cmp = 0;
            return F;
        }
    }

    void insertNode(int r)
    {
        int cmp = 1;
        const uint8_t* key = &window[r];
        int p = N + 1 + key[0];
        rson[r] = lson[r] = NIL;
        matchLength = 0;
        for (;;) {
            if (cmp >= 0) {
                if (rson[p] != NIL) {
                    p = rson[p];
                } else {
                    rson[p] = r;
                    dad[r] = p;
                    return;
                }
            } else {
                if (lson[p] != NIL) {
                    p = lson[p];
                } else {
                    lson[p] = r;
                    dad[r] = p;
                    return;
                }
            }
            const int i = compareFrom1(key, &window[p], cmp);
            if (i > THRESHOLD) {
                const int pos = ((r - p) & (N - 1)) - 1;
                if (i > matchLength) {
                    matchPosition = pos;
                    if ((matchLength = i) >= F)
                        break;
                }
                if (i == matchLength && pos < matchPosition)
                    matchPosition = pos;
            }
        }
        dad[r] = dad[p];
        lson[r] = lson[p];
        rson[r] = rson[p];
        dad[lson[p]] = r;
        dad[rson[p]] = r;
        if (rson[dad[p]] == p)
            rson[dad[p]] = r;
        else
            lson[dad[p]] = r;
        dad[p] = NIL;
    }

    void deleteNode(int p)
    {
        if (dad[p] == NIL)
            return;
        int q;
        if (rson[p] == NIL) {
            q = lson[p];
        } else if (lson[p] == NIL) {
            q = rson[p];
        } else {
            q = lson[p];
            if (rson[q] != NIL) {
                do {
                    q = rson[q];
                } while (rson[q] != NIL);
                rson[dad[q]] = lson[q];
                dad[lson[q]] = dad[q];
                lson[q] = lson[p];
                dad[lson[p]] = q;
            }
            rson[q] = rson[p];
            dad[rson[p]] = q;
        }
        dad[q] = dad[p];
        if (rson[dad[p]] == p)
            rson[dad[p]] = q;
        else
            lson[dad[p]] = q;
        dad[p] = NIL;
    }

    void encodeChar(BitWriter& out, int c)
    {
        unsigned code = 0;
        int len = 0;
        int k = huff.prnt[c + T];
        do {
            code >>= 1;
            if (k & 1)
                code += 0x8000;
            ++len;
        } while ((k = huff.prnt[k]) != R);
        out.put(len, code);
        huff.update(c);
    }

    void encodePosition(BitWriter& out, unsigned c)
    {
        const PositionCode& pc = positionCode();
        const unsigned i = c >> 6;
        out.put(pc.len[i], unsigned(pc.code[i]) << 8);
        out.put(6, (c & 0x3F) << 10);
    }

    QByteArray run(const uint8_t* in, qsizetype size)
    {
        if (size == 0)
            return QByteArray();
        BitWriter out(size / 2 + 64);
        huff.start();
        for (int i = N + 1; i <= N + 256; ++i)
            rson[i] = NIL;
        for (int i = 0; i < N; ++i)
            dad[i] = NIL;
        std::memset(window, 0, sizeof window);
        qsizetype pos = 0;
        int s = 0;
        int r = N - F;
        std::memset(window, ' ', size_t(r));
        int len = 0;
        for (; len < F && pos < size; ++len)
            window[r + len] = in[pos++];
        for (int i = 1; i <= F; ++i)
            insertNode(r - i);
        insertNode(r);
        do {
            if (matchLength > len)
                matchLength = len;
            if (matchLength <= THRESHOLD) {
                matchLength = 1;
                encodeChar(out, window[r]);
            } else {
                encodeChar(out, 255 - THRESHOLD + matchLength);
                encodePosition(out, unsigned(matchPosition));
            }
            const int last = matchLength;
            int i = 0;
            for (; i < last && pos < size; ++i) {
                const uint8_t c = in[pos++];
                deleteNode(s);
                window[s] = c;
                if (s < F - 1)
                    window[s + N] = c;
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                insertNode(r);
            }
            for (; i < last; ++i) {
                deleteNode(s);
                s = (s + 1) & (N - 1);
                r = (r + 1) & (N - 1);
                if (--len)
                    insertNode(r);
            }
        } while (len > 0);
        return out.finish();
    }
};

struct Decoder {
    Huffman huff;
    uint8_t window[N];

    QByteArray run(const uint8_t* code, qsizetype codeSize, qint64 expected,
                   std::vector<LzhCodec::Token>* trace = nullptr)
    {
        if (expected <= 0)
            return QByteArray();
        const PositionCode& pc = positionCode();
        // A symbol costs at least one bit and a match at least ten, so no valid code yields
        // more than 48 bytes per code byte: this bounds the buffer whatever the header says.
        const qint64 bound = (qint64(codeSize) + 8) * 48;
        const qint64 limit = std::min(expected, bound);
        QByteArray result(qsizetype(limit + F), Qt::Uninitialized);
        uint8_t* out = reinterpret_cast<uint8_t*>(result.data());
        huff.start();
        std::memset(window, ' ', N - F);
        std::memset(window + (N - F), 0, F);
        BitReader in(code, codeSize);
        int r = N - F;
        qint64 count = 0;
        while (count < limit) {
            // Zero bits far past the end only come from a truncated code: stop, the caller
            // sees the short result.
            if (in.overrun() > 16)
                break;
            int c = huff.son[R];
            while (c < T)
                c = huff.son[c + int(in.bit())];
            c -= T;
            huff.update(c);
            if (c < 256) {
                if (trace)
                    trace->push_back({1, -1, c});
                out[count++] = uint8_t(c);
                window[r] = uint8_t(c);
                r = (r + 1) & (N - 1);
            } else {
                unsigned b = in.byte();
                const unsigned high = unsigned(pc.dcode[b]) << 6;
                for (int j = pc.dlen[b] - 2; j > 0; --j)
                    b = (b << 1) + in.bit();
                const int p = int(high | (b & 0x3F));
                int i = (r - p - 1) & (N - 1);
                const int n = c - 255 + THRESHOLD;
                if (trace)
                    trace->push_back({n, p, -1});
                for (int k = 0; k < n; ++k) {
                    const uint8_t v = window[(i + k) & (N - 1)];
                    out[count++] = v;
                    window[r] = v;
                    r = (r + 1) & (N - 1);
                }
            }
        }
        result.resize(qsizetype(count));
        return result;
    }
};

template <typename Coder>
std::unique_ptr<Coder> allocateCoder()
{
    std::unique_ptr<Coder> coder(new (std::nothrow) Coder);
    if (!coder)
        throw MedrovaError(QStringLiteral("LZH : Cannot get memory for dictionary tables"));
    return coder;
}

} // namespace

namespace LzhCodec {

QByteArray compress(const char* data, qsizetype size)
{
    auto coder = allocateCoder<Encoder>();
    return coder->run(reinterpret_cast<const uint8_t*>(data), size);
}

QByteArray compress(const QByteArray& plain) { return compress(plain.constData(), plain.size()); }

QByteArray expand(const char* code, qsizetype codeSize, qint64 expectedSize)
{
    auto coder = allocateCoder<Decoder>();
    return coder->run(reinterpret_cast<const uint8_t*>(code), codeSize, expectedSize);
}

std::vector<Token> tokens(const QByteArray& code, qint64 expectedSize)
{
    auto coder = allocateCoder<Decoder>();
    std::vector<Token> trace;
    coder->run(reinterpret_cast<const uint8_t*>(code.constData()), code.size(), expectedSize, &trace);
    return trace;
}

} // namespace LzhCodec
