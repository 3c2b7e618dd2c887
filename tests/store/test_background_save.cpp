#include "store/background_save.h"
#include "store/lzh_container.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

namespace {
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
// Large enough that writing it takes a while, so that later saves queue up behind it.
QByteArray stream(int n)
{
    QByteArray b;
    QRandomGenerator rng{quint32(n)};
    while (b.size() < 400000)
        b += QByteArray::number(rng.generate()) + ' ' + QByteArray::number(n) + '\n';
    return b;
}
} // namespace

class TestBackgroundSave : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lastStreamOfEachFileWins()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.bin"), b = dir.filePath("b.bin");
        BackgroundSave saver;
        for (int i = 0; i < 12; ++i) {
            saver.save(a, stream(i), FileForm::Compressed);
            if (i % 4 == 0)
                saver.save(b, stream(100 + i), FileForm::Plain);
        }
        QVERIFY(!saver.finish());
        QVERIFY(!saver.busy());
        QCOMPARE(LzhContainer::decompressTable(readAll(a)), stream(11));
        QCOMPARE(readAll(b), stream(108));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"a.bin", "b.bin"})); // no temporary left
    }

    void destructionWaitsForQueuedSaves()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.bin");
        {
            BackgroundSave saver;
            saver.save(a, stream(1), FileForm::Compressed);
            saver.save(a, stream(2), FileForm::Compressed);
        }
        QCOMPARE(LzhContainer::decompressTable(readAll(a)), stream(2));
    }

    void failureIsSentOnTheOwnersThread()
    {
        QTemporaryDir dir;
        QVERIFY(QDir().mkdir(dir.filePath("taken")));
        BackgroundSave saver;
        QThread* where = nullptr;
        QStringList texts;
        connect(&saver, &BackgroundSave::failed, this, [&](const QString& text) {
            where = QThread::currentThread();
            texts << text;
        });
        saver.save(dir.filePath("taken"), stream(1), FileForm::Compressed);
        saver.wait();
        QVERIFY(texts.isEmpty()); // only when events run
        QTRY_COMPARE(texts.size(), 1);
        QCOMPARE(where, QThread::currentThread());
        QVERIFY(texts.front().startsWith("Cannot create file"));
        QVERIFY(!saver.finish()); // already sent
        saver.save(dir.filePath("taken"), stream(2), FileForm::Plain);
        const auto failure = saver.finish();
        QVERIFY(failure);
        QVERIFY(failure->text().startsWith("Cannot create file"));
        QCoreApplication::processEvents();
        QCOMPARE(texts.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestBackgroundSave)
#include "test_background_save.moc"
