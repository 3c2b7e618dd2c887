#include "lzh_reference.h"
#include "platform/errors.h"
#include "store/lzh_codec.h"
#include "store/lzh_container.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

namespace {
QByteArray registerLike(int rows)
{
    static const char* last[] = {"Smith", "Johnson", "O'Neil", "Garcia", "Miller", "Davis", "Nguyen", "Brown"};
    static const char* first[] = {"Mary", "John", "Ana", "Liam", "Olivia", "Noah", "Emma", "Ava"};
    QByteArray out;
    QRandomGenerator rng(42);
    for (int i = 0; i < rows; ++i) {
        out += "\x01\x02\x00\x08\x06";
        const QByteArray l = last[rng.bounded(8)];
        out += char(l.size()) + l + "\x08\x06" + first[rng.bounded(8)];
        out += "\x08\x05" + QByteArray::number(rng.bounded(20000, 45000)) + "\x08\x04" + QByteArray::number(i);
        out += "\x08\x0c hypertension, diabetes mellitus type 2\x00";
    }
    return out;
}

QByteArray randomBytes(int n, quint32 seed)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (char& c : b)
        c = char(rng.bounded(256));
    return b;
}

void expectError(const QByteArray& container, const QStringList& allowed)
{
    try {
        LzhContainer::decompressTable(container);
        QFAIL("damaged container was accepted");
    } catch (const MedrovaError& e) {
        QVERIFY2(allowed.contains(e.text()), qPrintable(e.text()));
    }
}
} // namespace

class TestLzh : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void crc32() { QCOMPARE(LzhContainer::crc32("123456789"), quint32(0xCBF43926)); }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("one byte") << QByteArray("x");
        QTest::newRow("60 bytes") << randomBytes(60, 1);
        QTest::newRow("4097 bytes") << randomBytes(4097, 2);
        QTest::newRow("leading spaces") << QByteArray(100, ' ') + "tail";
        QTest::newRow("run") << QByteArray(1000, 'A');
        QTest::newRow("zero bytes") << QByteArray(5000, '\0');
        // Enough literals for the root frequency to pass 32768 several times.
        QTest::newRow("random 150k, tree rebuilds") << randomBytes(150000, 3);
        QTest::newRow("register stream") << registerLike(3000);
    }
    void roundTrip()
    {
        QFETCH(QByteArray, input);
        const QByteArray code = LzhCodec::compress(input);
        QCOMPARE(code, LzhReference::compress(input));
        QCOMPARE(LzhCodec::expand(code.constData(), code.size(), input.size()), input);
        const QByteArray c = LzhContainer::compressTable(input);
        QCOMPARE(c.left(4), QByteArray("@LHC"));
        QCOMPARE(qFromLittleEndian<qint32>(c.constData() + 4), qint32(input.size()));
        QCOMPARE(qFromLittleEndian<quint32>(c.constData() + 8), LzhContainer::crc32(input));
        QCOMPARE(c.mid(12), code);
        QCOMPARE(LzhContainer::decompressTable(c), input);
        QCOMPARE(LzhContainer::decompressBlob(LzhContainer::compressBlob(input)), input);
    }

    // Any code, valid or not, decodes to what the bit-by-bit decoder makes of it: the same
    // bytes, the same early stop on a truncated code, the same initial window behind matches
    // reaching before the first byte.
    void expandMatchesReference_data()
    {
        QTest::addColumn<QList<QByteArray>>("codes");
        QTest::addColumn<qint64>("expected");
        QList<QByteArray> random;
        for (quint32 seed = 1; seed <= 300; ++seed)
            random << randomBytes(int(seed % 97) + 1, seed);
        QTest::newRow("random codes") << random << qint64(2000);
        const QByteArray valid = LzhCodec::compress(registerLike(30));
        QList<QByteArray> damaged;
        for (qsizetype i = 0; i < valid.size(); i += 7) {
            QByteArray bad = valid;
            bad[i] = char(bad[i] ^ (1 << (i % 8)));
            damaged << bad;
        }
        QTest::newRow("damaged codes") << damaged << qint64(registerLike(30).size());
        QTest::newRow("truncated code") << QList<QByteArray>{valid.left(valid.size() / 3)}
                                        << qint64(registerLike(30).size());
        QTest::newRow("size beyond the code") << QList<QByteArray>{valid} << qint64(registerLike(30).size() + 500);
        QTest::newRow("leading spaces, then zero bytes")
            << QList<QByteArray>{LzhCodec::compress(QByteArray(200, ' ') + QByteArray(70, '\0') + "x")} << qint64(271);
    }
    void expandMatchesReference()
    {
        QFETCH(QList<QByteArray>, codes);
        QFETCH(qint64, expected);
        for (const QByteArray& code : codes) {
            const QByteArray got = LzhCodec::expand(code.constData(), code.size(), expected);
            const QByteArray want = LzhReference::expand(code, expected);
            QVERIFY2(got == want, qPrintable(code.toHex()));
        }
    }

    void runCodesAsSixtyMatches()
    {
        const auto t = LzhCodec::tokens(LzhCodec::compress(QByteArray(1000, 'A')), 1000);
        QCOMPARE(int(t.size()), 1 + 16 + 1);
        QCOMPARE(t[0].literal, int('A'));
        for (int i = 1; i <= 16; ++i) {
            QCOMPARE(t[size_t(i)].length, 60);
            QCOMPARE(t[size_t(i)].position, 0);
        }
        QCOMPARE(t[17].length, 1000 - 1 - 16 * 60);
    }

    void leadingSpacesMatchTheWindowFill()
    {
        const auto t = LzhCodec::tokens(LzhCodec::compress(QByteArray(120, ' ') + "x"), 121);
        QCOMPARE(t.front().length, 60);
        QCOMPARE(t[1].length, 60);
        QCOMPARE(t.back().literal, int('x'));
    }

    void headerErrors()
    {
        expectError(QByteArray("@LHC\x05\x00\x00", 7), {"Stream read error"});
        expectError(QByteArray("TPF0\x01\x00\x00\x00\x00\x00\x00\x00x", 13), {"Not LZH Compressed !"});
        QByteArray c = LzhContainer::compressTable(registerLike(10));
        c[4] = char(c[4] + 7);
        expectError(c, {"Decompression Error: Size Mismatch !", "CRC Decompression Error !"});
        // A header claiming 2 GB over a few code bytes fails at once, without the allocation.
        QByteArray huge = LzhContainer::compressTable("abc");
        qToLittleEndian(qint32(0x7FFFFFF0), huge.data() + 4);
        expectError(huge, {"Decompression Error: Size Mismatch !"});
        QByteArray crc = LzhContainer::compressTable("abc");
        crc[8] = char(crc[8] ^ 1);
        expectError(crc, {"CRC Decompression Error !"});
    }

    void everyChangedCodeByteIsCaught()
    {
        const QByteArray good = LzhContainer::compressTable(registerLike(40));
        for (qsizetype i = 12; i < good.size(); ++i) {
            QByteArray bad = good;
            bad[i] = char(bad[i] ^ 0x5A);
            expectError(bad, {"CRC Decompression Error !", "Decompression Error: Size Mismatch !"});
        }
        expectError(good.left(good.size() / 2), {"CRC Decompression Error !", "Decompression Error: Size Mismatch !"});
    }
};

QTEST_GUILESS_MAIN(TestLzh)
#include "test_lzh.moc"
