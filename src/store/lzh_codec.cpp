#include "store/lzh_codec.h"

#include "platform/errors.h"

#include <algorithm>
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

// The adaptive Huffman tree shared by both directions. Entries are 32-bit (the decoder ran
// a little faster so than with 16-bit ones; the tables fit in L1 either way).
using Freq = uint32_t;
using Node = int32_t;
struct Huffman {
    Freq freq[T + 1];
    Node son[T];
    Node prnt[T + N_CHAR];

    void start()
    {
        for (int i = 0; i < N_CHAR; ++i) {
            freq[i] = 1;
            son[i] = Node(i + T);
            prnt[i + T] = Node(i);
        }
        for (int i = 0, j = N_CHAR; j <= R; i += 2, ++j) {
            freq[j] = Freq(freq[i] + freq[i + 1]);
            son[j] = Node(i);
            prnt[i] = prnt[i + 1] = Node(j);
        }
        freq[T] = 0xFFFF;
        prnt[R] = 0;
    }

    void rebuild()
    {
        int j = 0;
        for (int i = 0; i < T; ++i) {
            if (son[i] >= T) {
                freq[j] = Freq((freq[i] + 1) / 2);
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
            freq[k] = Freq(f);
            std::memmove(&son[k + 1], &son[k], size_t(count) * sizeof(son[0]));
            son[k] = Node(i);
        }
        for (int i = 0; i < T; ++i) {
            const int k = son[i];
            if (k >= T)
                prnt[k] = Node(i);
            else
                prnt[k] = prnt[k + 1] = Node(i);
        }
    }

    // Nodes whose children a decoding table depends on (see Decoder); set by the decoder.
    uint8_t watched[T] = {};
    bool watchedChanged = false;

    template <bool Watch = false>
    void update(int c) { updateAt<Watch>(c, prnt[c + T]); }

    // update() for the symbol `c` whose leaf is known to be at `leaf` (prnt[c + T]).
    template <bool Watch = false>
    void updateAt(int c, int leaf)
    {
        if (freq[R] == MAX_FREQ) {
            rebuild();
            if constexpr (Watch)
                watchedChanged = true;
            leaf = prnt[c + T];
        }
        c = leaf;
        do {
            const unsigned k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                // The node goes after the last one of lower frequency. The frequencies are
                // sorted (freq[T] bounds them), and runs of equal ones are long in a young
                // tree: gallop, then bisect.
                int lo = l, hi = l + 1, step = 1;
                while (hi < T && k > freq[hi]) {
                    lo = hi;
                    step <<= 1;
                    hi = std::min(lo + step, T);
                }
                while (hi - lo > 1) {
                    const int m = (lo + hi) / 2;
                    const bool below = k > freq[m];
                    lo = below ? m : lo;
                    hi = below ? hi : m;
                }
                l = lo;
                freq[c] = freq[l];
                freq[l] = Freq(k);
                if constexpr (Watch)
                    watchedChanged |= (watched[c] | watched[l]) != 0;
                const int i = son[c];
                prnt[i] = Node(l);
                if (i < T)
                    prnt[i + 1] = Node(l);
                const int j = son[l];
                son[l] = Node(i);
                prnt[j] = Node(c);
                if (j < T)
                    prnt[j + 1] = Node(c);
                son[c] = Node(j);
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
// The bits wait left-aligned in a 64-bit buffer; callers make sure enough are there (`need`)
// and then take them without further checks.
class BitReader {
public:
    BitReader(const uint8_t* data, qsizetype size) : m_begin(data), m_p(data), m_end(data + size) {}
    // At least `n` (at most 56) bits in the buffer afterwards.
    void need(int n)
    {
        if (m_count < n)
            refill();
    }
    unsigned peek(int n) const { return unsigned(m_buf >> (64 - n)); }
    void skip(int n)
    {
        m_buf <<= n;
        m_count -= n;
    }
    // The top bit, without consuming it (0 or 1).
    unsigned top() const { return unsigned(m_buf >> 63); }
    int available() const { return m_count; }
    // Bits taken so far, counting the zero bits past the end.
    qint64 consumed() const { return (qint64(m_p - m_begin) + m_overrun) * 8 - m_count; }
    void refill()
    {
        if (m_end - m_p >= 8) {
            uint64_t w;
            std::memcpy(&w, m_p, 8);
            if constexpr (std::endian::native == std::endian::little)
                w = __builtin_bswap64(w);
            // Whole bytes that fit; the bits of a byte only partly added come again next time
            // at the same place, so or-ing them twice changes nothing.
            m_buf |= w >> m_count;
            const int bytes = (63 - m_count) >> 3;
            m_p += bytes;
            m_count += bytes * 8;
            return;
        }
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

private:
    const uint8_t* m_begin;
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
    // The first TableBits bits of a code looked up at once: the children of the node they
    // lead to from the root (or the symbol, for a shorter code), that node's place, and how
    // many bits it took. The table follows the adaptive tree: it is rebuilt when an update
    // moved a node it went through.
    static constexpr int TableBits = 4;
    uint16_t tableNode[1 << TableBits];
    uint16_t tableLeaf[1 << TableBits];
    uint8_t tableLength[1 << TableBits];
    int16_t tableNodes[2 << TableBits];
    int tableNodeCount = 0;

    void fillTable(int node, int depth, unsigned prefix)
    {
        huff.watched[node] = 1;
        tableNodes[tableNodeCount++] = int16_t(node);
        const int s = huff.son[node];
        if (s >= T || depth == TableBits) {
            const unsigned from = prefix << (TableBits - depth);
            const unsigned n = 1u << (TableBits - depth);
            for (unsigned e = from; e < from + n; ++e) {
                tableNode[e] = uint16_t(s);
                tableLeaf[e] = uint16_t(node);
                tableLength[e] = uint8_t(depth);
            }
            return;
        }
        fillTable(s, depth + 1, prefix << 1);
        fillTable(s + 1, depth + 1, (prefix << 1) | 1);
    }

    // The starting tree and its table, copied from one built once: memo values are decoded
    // one by one, and building both each time would cost more than decoding a short value.
    void reset()
    {
        static const Decoder initial = [] {
            Decoder d;
            d.huff.start();
            d.buildTable();
            return d;
        }();
        *this = initial;
    }

    void buildTable()
    {
        for (int i = 0; i < tableNodeCount; ++i)
            huff.watched[tableNodes[i]] = 0;
        tableNodeCount = 0;
        fillTable(R, 0, 0);
        huff.watchedChanged = false;
    }

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
        // Room for a last match crossing `limit`, plus the slack of 8-byte copies.
        QByteArray result(qsizetype(limit + F + 8), Qt::Uninitialized);
        uint8_t* const out = reinterpret_cast<uint8_t*>(result.data());
        reset();
        BitReader in(code, codeSize);
        const qint64 stopBits = (qint64(codeSize) + 8) * 8;
        // The output itself is the sliding window: a match reaches back up to N bytes, and
        // before the start of the output it sees the initial window: N - F spaces right before
        // the first output byte, and F zero bytes before those.
        qint64 count = 0;
        while (count < limit) {
            // A code that needs more than 8 bytes of zero bits past its end is truncated: stop,
            // the caller sees the short result.
            if (in.consumed() > stopBits)
                break;
            in.need(32);
            if (huff.watchedChanged)
                buildTable();
            const unsigned head = in.peek(TableBits);
            int c = tableNode[head];
            int leaf = tableLeaf[head];
            in.skip(tableLength[head]);
            while (c < T) {
                if (in.available() == 0)
                    in.refill();
                const unsigned b = in.top();
                in.skip(1);
                leaf = c + int(b);
                c = huff.son[leaf];
            }
            c -= T;
            // The walk ended at the leaf: no need to look its place up again.
            huff.updateAt<true>(c, leaf);
            if (c < 256) {
                if (trace)
                    trace->push_back({1, -1, c});
                out[count++] = uint8_t(c);
                continue;
            }
            in.need(14);
            const unsigned w = in.peek(14);
            const unsigned b = w >> 6;
            const int l = pc.dlen[b];
            const int p = int((unsigned(pc.dcode[b]) << 6) | ((w >> (8 - l)) & 0x3F));
            in.skip(l + 6);
            const int n = c - 255 + THRESHOLD;
            if (trace)
                trace->push_back({n, p, -1});
            const qint64 distance = p + 1;
            uint8_t* dst = out + count;
            if (distance <= count) {
                const uint8_t* src = dst - distance;
                if (distance >= 8) {
                    // Each 8-byte step reads bytes already written.
                    for (int k = 0; k < n; k += 8)
                        std::memcpy(dst + k, src + k, 8);
                } else {
                    for (int k = 0; k < n; ++k)
                        dst[k] = src[k];
                }
            } else {
                for (int k = 0; k < n; ++k) {
                    const qint64 s = count + k - distance;
                    dst[k] = s >= 0 ? out[s] : s >= -(N - F) ? uint8_t(' ') : uint8_t(0);
                }
            }
            count += n;
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
