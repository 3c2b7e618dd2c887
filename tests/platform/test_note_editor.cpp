#include "platform/note_editor.h"
#include "platform/rich_text_format.h"

#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextList>
#include <QVBoxLayout>
#include <QtTest>

namespace {
// Opens the clipboard hooks, so tests exchange data without a system clipboard.
class Editor : public NoteEditor {
public:
    using NoteEditor::canInsertFromMimeData;
    using NoteEditor::createMimeDataFromSelection;
    using NoteEditor::insertFromMimeData;
};

void select(QTextEdit& e, int from, int to)
{
    QTextCursor c = e.textCursor();
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    e.setTextCursor(c);
}

QTextCharFormat formatAt(const QTextEdit& e, int pos)
{
    QTextCursor c(e.document());
    c.setPosition(pos + 1);
    return c.charFormat();
}
} // namespace

class TestNoteEditor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void typedTextTakesDefaultAndCurrentAttributes()
    {
        Editor e;
        e.setDefaultFontName(QStringLiteral("DejaVu Sans"));
        e.setDefaultFontSize(10);
        e.show();
        e.activateWindow();
        e.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        QTest::keyClicks(&e, QStringLiteral("ab"));
        QCOMPARE(e.toPlainText(), QStringLiteral("ab"));
        e.setSelectionBold(true); // no selection: the text typed next
        QVERIFY(e.selectionBold());
        QTest::keyClicks(&e, QStringLiteral("cd"));
        QCOMPARE(e.toPlainText(), QStringLiteral("abcd"));
        QVERIFY(formatAt(e, 0).fontWeight() < QFont::DemiBold);
        QVERIFY(formatAt(e, 2).fontWeight() >= QFont::Bold);
        QCOMPARE(e.selectionFontName(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(e.selectionFontSize(), 10.0);
        // Tab is typed into the note.
        QTest::keyClick(&e, Qt::Key_Tab);
        QCOMPARE(e.toPlainText(), QStringLiteral("abcd\t"));
        QVERIFY(e.isModified());
        e.undo(); // typing merges into one step: the bold run goes with the tab
        QCOMPARE(e.toPlainText(), QStringLiteral("ab"));
    }

    void selectionAttributesSurviveSaveAndLoad()
    {
        QTemporaryDir dir;
        Editor e;
        e.setDefaultFontName(QStringLiteral("DejaVu Sans"));
        e.setDefaultFontSize(12);
        e.setPlainText(QStringLiteral("CO2 level high\nsecond line"));
        select(e, 0, 3);
        e.setSelectionFontName(QStringLiteral("DejaVu Serif"));
        e.setSelectionItalic(true);
        e.setSelectionUnderline(true);
        e.setSelectionColor(QColor(0, 128, 0));
        select(e, 2, 3);
        e.setSelectionFontSize(8);
        e.setSelectionOffset(-50);
        QCOMPARE(e.selectionOffset(), -50);
        QCOMPARE(e.selectionFontSize(), 8.0);
        e.setParagraphAlignment(Qt::AlignHCenter);
        select(e, 16, 16);
        e.setBullets(true);
        QVERIFY(e.hasBullets());

        const QString path = dir.filePath(QStringLiteral("n.rtf"));
        QVERIFY(e.saveToFile(path));
        Editor back;
        QVERIFY(back.loadFromFile(path));
        QVERIFY(!back.isModified());
        QVERIFY(!back.document()->isUndoAvailable());
        QCOMPARE(back.toPlainText(), e.toPlainText());
        select(back, 0, 2);
        QCOMPARE(back.selectionFontName(), QStringLiteral("DejaVu Serif"));
        QVERIFY(back.selectionItalic());
        QVERIFY(back.selectionUnderline());
        QCOMPARE(back.selectionColor(), QColor(0, 128, 0));
        QCOMPARE(back.selectionFontSize(), 12.0);
        QCOMPARE(back.paragraphAlignment(), Qt::AlignHCenter);
        select(back, 2, 3);
        QCOMPARE(back.selectionOffset(), -50);
        QCOMPARE(back.selectionFontSize(), 8.0);
        select(back, 4, 4);
        QCOMPARE(back.selectionOffset(), 0);
        select(back, 17, 17);
        QVERIFY(back.hasBullets());
        back.setBullets(false);
        QVERIFY(!back.hasBullets());
        QCOMPARE(back.textCursor().block().blockFormat().indent(), 0);
        // Clearing the offset writes no shift.
        select(back, 2, 3);
        back.setSelectionOffset(0);
        QVERIFY(!back.rtf().contains("\\dn"));
    }

    void loadsPlainTextAndStreams()
    {
        QTemporaryDir dir;
        Editor e;
        QVERIFY(!e.loadFromFile(dir.filePath(QStringLiteral("missing.rtf"))));
        QByteArray text("not rich\r\ntext \xe9");
        QBuffer in(&text);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QVERIFY(e.loadFromStream(&in));
        QCOMPARE(e.toPlainText(), QStringLiteral("not rich\ntext \u00e9"));
        QByteArray out;
        QBuffer outDev(&out);
        QVERIFY(outDev.open(QIODevice::WriteOnly));
        QVERIFY(e.saveToStream(&outDev));
        QVERIFY(out.startsWith("{\\rtf1"));
        QVERIFY(out.contains("text \\'e9"));
    }

    void find_data()
    {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("matchCase");
        QTest::addColumn<bool>("wholeWord");
        QTest::addColumn<int>("found");
        // "Pain and painful pain."
        QTest::newRow("any case") << "pain" << 0 << -1 << false << false << 0;
        QTest::newRow("match case") << "pain" << 0 << -1 << true << false << 9;
        QTest::newRow("whole word") << "pain" << 1 << -1 << false << true << 17;
        QTest::newRow("case and word") << "Pain" << 1 << -1 << true << true << -1;
        QTest::newRow("bounded end") << "pain" << 1 << 12 << false << false << -1;
        QTest::newRow("bounded, fits") << "pain" << 1 << 13 << false << false << 9;
        QTest::newRow("empty needle") << "" << 0 << -1 << false << false << -1;
    }
    void find()
    {
        QFETCH(QString, needle);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, matchCase);
        QFETCH(bool, wholeWord);
        QFETCH(int, found);
        Editor e;
        e.setPlainText(QStringLiteral("Pain and painful pain."));
        select(e, 3, 5);
        QCOMPARE(e.findText(needle, from, to, matchCase, wholeWord), found);
        QCOMPARE(e.textCursor().selectionStart(), 3);
    }

    void clipboardCarriesRichText()
    {
        Editor a;
        a.setPlainText(QStringLiteral("normal bold end"));
        select(a, 7, 11);
        a.setSelectionBold(true);
        a.setSelectionColor(Qt::red);
        select(a, 5, 13);
        std::unique_ptr<QMimeData> mime(a.createMimeDataFromSelection());
        QVERIFY(mime->hasFormat(QStringLiteral("text/rtf")));
        QVERIFY(mime->data(QStringLiteral("text/rtf")).startsWith("{\\rtf1"));
        QVERIFY(mime->hasHtml());
        QCOMPARE(mime->text(), QStringLiteral("l bold e"));

        Editor b;
        b.setPlainText(QStringLiteral("[]"));
        select(b, 1, 1);
        QVERIFY(b.canInsertFromMimeData(mime.get()));
        b.insertFromMimeData(mime.get());
        QCOMPARE(b.toPlainText(), QStringLiteral("[l bold e]"));
        QVERIFY(formatAt(b, 3).fontWeight() >= QFont::Bold);
        QCOMPARE(formatAt(b, 3).foreground().color(), QColor(Qt::red));
        QVERIFY(formatAt(b, 1).fontWeight() < QFont::DemiBold);

        // From another program: RTF only, then HTML only, then text only.
        QMimeData rtfOnly;
        rtfOnly.setData(QStringLiteral("application/rtf"), "{\\rtf1\\ansi {\\i slanted}}");
        b.insertFromMimeData(&rtfOnly);
        QVERIFY(b.toPlainText().contains(QStringLiteral("slanted")));
        QVERIFY(b.document()->find(QStringLiteral("slanted")).charFormat().fontItalic());
        QMimeData htmlOnly;
        htmlOnly.setHtml(QStringLiteral("<u>under</u>"));
        b.insertFromMimeData(&htmlOnly);
        QVERIFY(b.document()->find(QStringLiteral("under")).charFormat().fontUnderline());
        QMimeData textOnly;
        textOnly.setText(QStringLiteral("plain"));
        b.insertFromMimeData(&textOnly);
        QVERIFY(b.toPlainText().contains(QStringLiteral("plain")));
    }

    void pastedPicturesKeepTheirOwnImage()
    {
        const auto pictureRtf = [](QColor colour) {
            QImage img(2, 2, QImage::Format_RGB32);
            img.fill(colour);
            QByteArray png;
            QBuffer buf(&png);
            buf.open(QIODevice::WriteOnly);
            img.save(&buf, "PNG");
            return "{\\rtf1\\ansi{\\pict\\pngblip " + png.toHex() + "}}";
        };
        Editor e;
        e.setRtf(pictureRtf(Qt::red)); // its image is named like the one pasted below
        e.moveCursor(QTextCursor::End);
        QMimeData mime;
        mime.setData(QStringLiteral("text/rtf"), pictureRtf(Qt::blue));
        e.insertFromMimeData(&mime);
        QList<QRgb> colours;
        for (auto it = e.document()->begin().begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.isImageFormat())
                colours << e.document()
                               ->resource(QTextDocument::ImageResource, QUrl(f.toImageFormat().name()))
                               .value<QImage>()
                               .pixel(0, 0);
        }
        QCOMPARE(colours, QList<QRgb>({QColor(Qt::red).rgb(), QColor(Qt::blue).rgb()}));
    }

    void notificationsAndModifiedFlag()
    {
        Editor e;
        e.setRtf("{\\rtf1 loaded}");
        QVERIFY(!e.isModified());
        QSignalSpy changed(&e, &QTextEdit::textChanged);
        QSignalSpy selection(&e, &QTextEdit::selectionChanged);
        select(e, 0, 3);
        QCOMPARE(selection.count(), 1);
        e.setSelectionBold(true);
        QVERIFY(changed.count() >= 1);
        QVERIFY(e.isModified());
        e.setModified(false);
        QVERIFY(!e.isModified());
    }

    void lookAndScrolling()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* e = new Editor;
        auto* other = new QLineEdit;
        layout->addWidget(e);
        layout->addWidget(other);
        e->setPlainText(QString(QStringLiteral("a very long line without a break ")).repeated(50));
        window.resize(200, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(e->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!e->horizontalScrollBar()->isVisible());
        QVERIFY(e->verticalScrollBar()->isVisible());
        const QPalette p = e->palette();
        QCOMPARE(p.color(QPalette::Inactive, QPalette::Highlight), p.color(QPalette::Active, QPalette::Highlight));
        QPalette grey = e->palette();
        grey.setColor(QPalette::Inactive, QPalette::Highlight, Qt::gray);
        e->setPalette(grey);
        QCOMPARE(e->palette().color(QPalette::Inactive, QPalette::Highlight),
                 e->palette().color(QPalette::Active, QPalette::Highlight));
        e->setDoubleBuffered(true);
        QVERIFY(e->isDoubleBuffered());
    }
};

QTEST_MAIN(TestNoteEditor)
#include "test_note_editor.moc"
