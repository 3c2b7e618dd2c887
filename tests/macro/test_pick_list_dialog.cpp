#include "app/settings_store.h"
#include "macro/pick_list_dialog.h"
#include "support/temp_program_dir.h"

#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(PickAction::Kind)

namespace {
PickRequest request(QStringList items, bool repeated = false)
{
    PickRequest r;
    r.items = std::move(items);
    r.repeated = repeated;
    return r;
}

PickAction lastAction(const QSignalSpy& spy) { return spy.last().at(0).value<PickAction>(); }

void select(QListWidget* list, const QList<int>& rows)
{
    list->clearSelection();
    for (int r : rows)
        list->item(r)->setSelected(true);
    if (!rows.isEmpty())
        list->setCurrentRow(rows.last(), QItemSelectionModel::NoUpdate);
}
} // namespace

class TestPickListDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void window()
    {
        TempProgramDir dir;
        QWidget main;
        main.resize(800, 600);
        TDlgMenu dlg(&main);
        QCOMPARE(dlg.windowTitle(), QString("Select"));
        QCOMPARE(dlg.ListBoxSelect()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(dlg.ListBoxSelect()->property("hint").toString(),
                 QString("Double click to pick one item.\r\n\r\nTo pick more than one item:\r\n"
                         "Hold down CTRL ket and single click\r\nRight click for menu to paste choices"));
        QStringList entries;
        for (QAction* a : dlg.ParseMenuPopup()->actions())
            entries << a->text() + "|" + a->shortcut().toString();
        QCOMPARE(entries, QStringList({"&Cancel Macro|", "&Skip These Choices|Ctrl+Alt+X",
                                       "Paste Selections In A Line|Ctrl+Alt+V", "Paste One Item Per Line|",
                                       "Paste One Item Every Other Line|"}));
    }

    void heightRule_data()
    {
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("mainHeight");
        QTest::addColumn<int>("height");
        QTest::newRow("few") << 3 << 800 << 230;
        QTest::newRow("twelve") << 12 << 800 << 230;
        QTest::newRow("thirteen") << 13 << 800 << 245;
        QTest::newRow("thirty") << 30 << 800 << 500;
        QTest::newRow("capped by main window") << 60 << 700 << 600;
    }
    void heightRule()
    {
        QFETCH(int, items);
        QFETCH(int, mainHeight);
        QFETCH(int, height);
        QCOMPARE(TDlgMenu::heightFor(items, mainHeight), height);
    }

    void actions_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<PickAction::Kind>("kind");
        QTest::newRow("in a line") << int(PickAction::Kind::PasteInLine) << QList<int>{0, 2} << PickAction::Kind::PasteInLine;
        QTest::newRow("per line") << int(PickAction::Kind::PastePerLine) << QList<int>{1} << PickAction::Kind::PastePerLine;
        QTest::newRow("every other") << int(PickAction::Kind::PasteEveryOtherLine) << QList<int>{0, 1, 2}
                                     << PickAction::Kind::PasteEveryOtherLine;
        QTest::newRow("nothing selected") << int(PickAction::Kind::PasteInLine) << QList<int>{} << PickAction::Kind::PasteInLine;
        QTest::newRow("skip") << int(PickAction::Kind::Skip) << QList<int>{1} << PickAction::Kind::Skip;
        QTest::newRow("cancel") << int(PickAction::Kind::Cancel) << QList<int>{} << PickAction::Kind::Cancel;
    }
    void actions()
    {
        QFETCH(int, entry);
        QFETCH(QList<int>, selected);
        QFETCH(PickAction::Kind, kind);
        TempProgramDir dir;
        QWidget main;
        TDlgMenu dlg(&main);
        QSignalSpy spy(&dlg, &TDlgMenu::actionChosen);
        dlg.ShowTheList(request({"a", "b", "c"}));
        QVERIFY(dlg.isVisible());
        select(dlg.ListBoxSelect(), selected);
        dlg.menuAction(PickAction::Kind(entry))->trigger();
        QCOMPARE(spy.size(), 1);
        const PickAction a = lastAction(spy);
        QCOMPARE(a.kind, kind);
        if (kind != PickAction::Kind::Skip && kind != PickAction::Kind::Cancel) {
            QList<int> got = a.selection;
            std::sort(got.begin(), got.end());
            QCOMPARE(got, selected);
        }
        QVERIFY(!dlg.isVisible());
        dlg.close(); // after the action, the close box reports nothing more
        QCOMPARE(spy.size(), 1);
    }

    void doubleClickAndKeys()
    {
        TempProgramDir dir;
        QWidget main;
        TDlgMenu dlg(&main);
        QSignalSpy spy(&dlg, &TDlgMenu::actionChosen);
        dlg.ShowTheList(request({"a", "b", "c"}));
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QListWidget* list = dlg.ListBoxSelect();
        select(list, {0, 2});
        list->setCurrentRow(1, QItemSelectionModel::Select);
        const QRect r = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        QCOMPARE(spy.size(), 1);
        QCOMPARE(lastAction(spy).kind, PickAction::Kind::DoubleClick);
        QCOMPARE(lastAction(spy).item, 1);

        dlg.ShowTheList(request({"x", "y"}));
        list->setCurrentRow(1);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(lastAction(spy).kind, PickAction::Kind::DoubleClick);
        QCOMPARE(lastAction(spy).item, 1);

        dlg.ShowTheList(request({"x", "y"}));
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        select(list, {0});
        QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(spy.size(), 3);
        QCOMPARE(lastAction(spy).kind, PickAction::Kind::PasteInLine);

        dlg.ShowTheList(request({"x", "y"}));
        QTest::keyClick(list, Qt::Key_X, Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(lastAction(spy).kind, PickAction::Kind::Skip);

        dlg.ShowTheList(request({"x", "y"}));
        QTest::keyClick(list, Qt::Key_Escape);
        QCOMPARE(spy.size(), 5);
        QCOMPARE(lastAction(spy).kind, PickAction::Kind::Close);

        dlg.ShowTheList(request({"x", "y"}));
        dlg.close();
        QCOMPARE(spy.size(), 6);
        QCOMPARE(lastAction(spy).kind, PickAction::Kind::Close);
    }

    void repeatedRequestKeepsSelection()
    {
        TempProgramDir dir;
        QWidget main;
        TDlgMenu dlg(&main);
        dlg.ShowTheList(request({"a", "b", "c"}));
        select(dlg.ListBoxSelect(), {1, 2});
        dlg.ShowTheList(request({"a", "b", "c"}, true));
        QCOMPARE(dlg.ListBoxSelect()->selectedItems().size(), 2);
        dlg.ShowTheList(request({"p", "q"}));
        QCOMPARE(dlg.ListBoxSelect()->selectedItems().size(), 0);
        QCOMPARE(dlg.ListBoxSelect()->count(), 2);
    }

    void sizeFollowsItems()
    {
        TempProgramDir dir;
        QWidget main;
        main.resize(800, 500);
        TDlgMenu dlg(&main);
        dlg.ShowTheList(request({"a"}));
        const int small = dlg.height();
        QStringList many;
        for (int i = 0; i < 40; ++i)
            many << QString::number(i);
        dlg.ShowTheList(request(many));
        QCOMPARE(dlg.height() - small, 400 - 230); // capped at the main window's height - 100
        QCOMPARE(dlg.width(), 314);
    }

    void positionKept()
    {
        TempProgramDir dir;
        QWidget main;
        {
            TDlgMenu dlg(&main);
            dlg.move(123, 87);
        }
        QVERIFY(!IniReadText("MenuPosition", "NormPos", "").isEmpty());
        TDlgMenu again(&main);
        QCOMPARE(again.pos(), QPoint(123, 87));
    }
};

QTEST_MAIN(TestPickListDialog)
#include "test_pick_list_dialog.moc"
