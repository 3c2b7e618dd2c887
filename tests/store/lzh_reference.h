#pragma once
// A plain, byte-at-a-time transcription of the LZH encoder and decoder, kept slow and obvious
// on purpose: the tuned coder must produce exactly their bytes.

#include <QByteArray>
#include <cstring>
#include <vector>

namespace LzhReference {

constexpr int N = 4096, F = 60, TH = 2, NIL = N, NC = 256 - TH + F, T = NC * 2 - 1, R = T - 1;

// Position-high code: value -> bit length and left-aligned 8-bit code.
inline void positionCode(unsigned plen[64], unsigned pcode[64])
{
    for (unsigned v = 0, c = 0; v < 64; ++v) {
        plen[v] = v == 0 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
        pcode[v] = c;
        c += 1u << (8 - plen[v]);
    }
}

// The adaptive Huffman tree of both directions.
struct Tree {
    std::vector<unsigned> freq = std::vector<unsigned>(T + 1);
    std::vector<int> son = std::vector<int>(T), prnt = std::vector<int>(T + NC);

    Tree()
    {
        for (int i = 0; i < NC; ++i) {
            freq[i] = 1;
            son[i] = i + T;
            prnt[i + T] = i;
        }
        for (int i = 0, j = NC; j <= R; i += 2, ++j) {
            freq[j] = freq[i] + freq[i + 1];
            son[j] = i;
            prnt[i] = prnt[i + 1] = j;
        }
        freq[T] = 0xFFFF;
        prnt[R] = 0;
    }

    void reconst()
    {
        int j = 0;
        for (int i = 0; i < T; ++i)
            if (son[i] >= T) {
                freq[j] = (freq[i] + 1) / 2;
                son[j] = son[i];
                ++j;
            }
        for (int i = 0, jj = NC; jj < T; i += 2, ++jj) {
            unsigned f = freq[i] + freq[i + 1];
            int k = jj - 1;
            while (f < freq[k])
                --k;
            ++k;
            for (int m = jj; m > k; --m) {
                freq[m] = freq[m - 1];
                son[m] = son[m - 1];
            }
            freq[k] = f;
            son[k] = i;
        }
        for (int i = 0; i < T; ++i) {
            int k = son[i];
            if (k >= T)
                prnt[k] = i;
            else
                prnt[k] = prnt[k + 1] = i;
        }
    }

    void update(int c)
    {
        if (freq[R] == 0x8000)
            reconst();
        c = prnt[c + T];
        do {
            unsigned k = ++freq[c];
            int l = c + 1;
            if (k > freq[l]) {
                while (k > freq[l + 1])
                    ++l;
                freq[c] = freq[l];
                freq[l] = k;
                int i = son[c];
                prnt[i] = l;
                if (i < T)
                    prnt[i + 1] = l;
                int j = son[l];
                son[l] = i;
                prnt[j] = c;
                if (j < T)
                    prnt[j + 1] = c;
                son[c] = j;
                c = l;
            }
        } while ((c = prnt[c]) != 0);
    }
};

inline QByteArray compress(const QByteArray& input)
{
    if (input.isEmpty())
        return {};
    Tree tree;
    auto& prnt = tree.prnt;
    auto update = [&](int c) { tree.update(c); };
    std::vector<int> lson(N + 257), rson(N + 257), dad(N + 257);
    std::vector<unsigned char> buf(N + F - 1, 0);
    unsigned plen[64], pcode[64];
    positionCode(plen, pcode);
    QByteArray out;
    unsigned putbuf = 0;
    int putlen = 0;
    auto putcode = [&](int l, unsigned c) {
        putbuf = (putbuf | (c >> putlen)) & 0xFFFF;
        if ((putlen += l) >= 8) {
            out.append(char(putbuf >> 8));
            if ((putlen -= 8) >= 8) {
                out.append(char(putbuf & 0xFF));
                putlen -= 8;
                putbuf = (c << (l - putlen)) & 0xFFFF;
            } else {
                putbuf = (putbuf << 8) & 0xFFFF;
            }
        }
    };
    auto encodeChar = [&](int c) {
        unsigned code = 0;
        int len = 0;
        int k = prnt[c + T];
        do {
            code >>= 1;
            if (k & 1)
                code += 0x8000;
            ++len;
        } while ((k = prnt[k]) != R);
        putcode(len, code);
        update(c);
    };
    int matchLength = 0, matchPosition = 0;
    auto insertNode = [&](int r) {
        int cmp = 1, p = N + 1 + buf[r];
        rson[r] = lson[r] = NIL;
        matchLength = 0;
        for (;;) {
            int& link = cmp >= 0 ? rson[p] : lson[p];
            if (link == NIL) {
                link = r;
                dad[r] = p;
                return;
            }
            p = link;
            int i = 1;
            for (; i < F; ++i)
                if ((cmp = buf[r + i] - buf[p + i]) != 0)
                    break;
            if (i > TH) {
                int pos = ((r - p) & (N - 1)) - 1;
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
    };
    auto deleteNode = [&](int p) {
        if (dad[p] == NIL)
            return;
        int q;
        if (rson[p] == NIL)
            q = lson[p];
        else if (lson[p] == NIL)
            q = rson[p];
        else {
            q = lson[p];
            if (rson[q] != NIL) {
                do
                    q = rson[q];
                while (rson[q] != NIL);
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
    };
    for (int i = N + 1; i <= N + 256; ++i)
        rson[i] = NIL;
    for (int i = 0; i < N; ++i)
        dad[i] = NIL;
    int s = 0, r = N - F, len = 0;
    qsizetype pos = 0;
    std::memset(buf.data(), ' ', size_t(r));
    for (; len < F && pos < input.size(); ++len)
        buf[size_t(r + len)] = static_cast<unsigned char>(input[pos++]);
    for (int i = 1; i <= F; ++i)
        insertNode(r - i);
    insertNode(r);
    do {
        if (matchLength > len)
            matchLength = len;
        if (matchLength <= TH) {
            matchLength = 1;
            encodeChar(buf[size_t(r)]);
        } else {
            encodeChar(255 - TH + matchLength);
            const unsigned i = unsigned(matchPosition) >> 6;
            putcode(int(plen[i]), pcode[i] << 8);
            putcode(6, (unsigned(matchPosition) & 0x3F) << 10);
        }
        const int last = matchLength;
        int i = 0;
        for (; i < last && pos < input.size(); ++i) {
            const auto c = static_cast<unsigned char>(input[pos++]);
            deleteNode(s);
            buf[size_t(s)] = c;
            if (s < F - 1)
                buf[size_t(s + N)] = c;
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
    if (putlen)
        out.append(char(putbuf >> 8));
    return out;
}

// Decodes bit by bit through a 4096-byte ring, until `expected` bytes were produced (a last
// match may cross it) or the code is exhausted: a symbol is not started once more than 8
// bytes of zero bits past the end of the code were taken.
inline QByteArray expand(const QByteArray& code, qint64 expected)
{
    Tree tree;
    unsigned plen[64], pcode[64];
    positionCode(plen, pcode);
    std::vector<unsigned char> ring(N, 0);
    std::memset(ring.data(), ' ', N - F);
    qint64 taken = 0;
    auto bit = [&]() -> unsigned {
        const qint64 byte = taken / 8;
        const unsigned b = byte < code.size() ? (static_cast<unsigned char>(code[byte]) >> (7 - taken % 8)) & 1 : 0;
        ++taken;
        return b;
    };
    QByteArray out;
    int r = N - F;
    while (out.size() < expected && taken <= (qint64(code.size()) + 8) * 8) {
        int c = tree.son[R];
        while (c < T)
            c = tree.son[c + int(bit())];
        c -= T;
        tree.update(c);
        if (c < 256) {
            out.append(char(c));
            ring[size_t(r)] = static_cast<unsigned char>(c);
            r = (r + 1) & (N - 1);
            continue;
        }
        // The high six bits of the position by their prefix code, then the low six.
        unsigned v = 64, bits = 0;
        for (unsigned length = 1; v == 64 && length <= 8; ++length) {
            bits = (bits << 1) | bit();
            for (unsigned w = 0; w < 64; ++w)
                if (plen[w] == length && pcode[w] >> (8 - length) == bits)
                    v = w;
        }
        unsigned low = 0;
        for (int i = 0; i < 6; ++i)
            low = (low << 1) | bit();
        const int position = int((v << 6) | low);
        int from = (r - position - 1) & (N - 1);
        for (int k = 0; k < c - 255 + TH; ++k) {
            const unsigned char b = ring[size_t((from + k) & (N - 1))];
            out.append(char(b));
            ring[size_t(r)] = b;
            r = (r + 1) & (N - 1);
        }
    }
    return out;
}

} // namespace LzhReference
