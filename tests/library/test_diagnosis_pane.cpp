#include "library/add_dx_dialog.h"
#include "library/diagnosis_pane.h"
#include "library/macro_text_dialog.h"
#include "store/data_module.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace {
const QStringList kCategories = {"Acute", "Chronic", "Other", "Physical", "Skin"};

struct Presentation {
    QString dx, category, macro;
};

void writeCategories(const TempProgramDir& dir)
{
    Table t("Category");
    t.setFieldDefs(TDataModule1::categoryFields());
    t.setIndexDefs({IndexDef::make("Cat_Index", "CATEGORY")});
    t.createTable();
    t.setActiveIndex("Cat_Index");
    for (const QString& c : kCategories) {
        t.insert();
        t.setValue("CATEGORY", c);
        t.post();
    }
    t.saveToFile(dir.file("Category.bin"), FileForm::Plain);
}

QStringList listed(const Table& t)
{
    QStringList out;
    for (int i = 0; i < t.rowCount(); ++i)
        out << t.valueAt(i, t.fieldIndex("Dx")).toString();
    return out;
}

// Runs `step` on the first visible modal window of type W (polled, so that it also finds a
// window opened after another one has closed).
template <class W>
void onModal(std::function<void(W*)> step)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, step] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        step(w);
    });
    timer->start();
}

// Replaces the editor's text as the user would (a text set by the program is not a change).
void typeInto(QPlainTextEdit* edit, const QString& text)
{
    edit->selectAll();
    if (text.isEmpty())
        edit->textCursor().removeSelectedText();
    else
        edit->insertPlainText(text);
}

// Runs `step` once the modal window opened by `open` is up.
void whenModal(const std::function<void()>& open, const std::function<void(QWidget*)>& step)
{
    bool ran = false;
    onModal<QDialog>([&](QDialog* w) {
        ran = true;
        step(w);
    });
    open();
    QVERIFY(ran);
}

// A program directory with categories and presentations, a started data module and a shown pane.
struct Fixture {
    explicit Fixture(const QList<Presentation>& rows = {})
    {
        writeCategories(dir);
        startDataModule();
        for (const Presentation& p : rows) {
            Table& t = dm->kbmTableDx();
            t.insert();
            t.setValue("Dx", p.dx);
            t.setValue("Category", p.category);
            t.setValue("Macro", p.macro);
            t.post();
        }
        dm->kbmTableDx().first();
        pane = std::make_unique<TDiagnosisPane>(*dm);
        pane->ComboBoxCatAddStrings();
        pane->resize(260, 420);
        pane->show();
        pane->activateWindow();
    }
    void startDataModule()
    {
        dm = std::make_unique<TDataModule1>();
        dm->startUp();
    }
    Table& dx() { return dm->kbmTableDx(); }
    QString current() { return dx().isEmpty() ? QString() : dx().text("Dx"); }
    // Fills the Add/Rename dialog and presses one of its buttons.
    void runDialog(void (TDiagnosisPane::*command)(), const QString& name, const QString& category,
                   QPushButton* (TFormAddDlg::*button)() const = &TFormAddDlg::saveButton)
    {
        whenModal([&] { (pane.get()->*command)(); },
                  [&](QWidget* w) {
                      auto* dlg = qobject_cast<TFormAddDlg*>(w);
                      QVERIFY(dlg);
                      dlg->nameBox()->setText(name);
                      dlg->categoryBox()->setCurrentIndex(dlg->categoryBox()->findText(category));
                      (dlg->*button)()->click();
                      if (dlg->isVisible()) // refused: leave it the way the user would
                          dlg->cancelButton()->click();
                  });
    }
    void chooseCategory(const QString& text)
    {
        QComboBox* box = pane->categoryBox();
        const int i = box->findText(text);
        box->setCurrentIndex(i);
        Q_EMIT box->activated(i);
    }

    ScriptedPrompter prompter;
    TempProgramDir dir;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<TDiagnosisPane> pane;
};

const QList<Presentation> kLibrary = {
    {"Ankle Sprain", "Acute", "{List left,right} ankle"},
    {"Asthma", "Chronic", ""},
    {"Back Pain", "Acute", ""},
    {"Physical Exam", "Physical", "{Header}"},
    {"URI", "Acute", ""},
};
} // namespace

class TestDiagnosisPane : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void finderKeys()
    {
        Fixture f(kLibrary);
        QVERIFY(QTest::qWaitForWindowActive(f.pane.get()));
        QLineEdit* finder = f.pane->finder();
        QSignalSpy hints(f.pane.get(), &TDiagnosisPane::hintRequested);
        QSignalSpy enter(f.pane.get(), &TDiagnosisPane::enterPressed);
        finder->setText("leftover");
        finder->setFocus();
        QVERIFY(finder->text().isEmpty());
        QCOMPARE(hints.last().at(0).toString(), QString("Type the presentation or use up/down arrows."));

        QTest::keyClicks(finder, "as");
        QCOMPARE(f.current(), QString("Asthma"));
        QTest::keyClicks(finder, "x"); // no match: the list stays
        QCOMPARE(f.current(), QString("Asthma"));
        QTest::keyClick(finder, Qt::Key_Backspace);
        QTest::keyClicks(finder, ".");
        QVERIFY(finder->text().isEmpty());
        QCOMPARE(f.current(), QString("Asthma"));

        QTest::keyClicks(finder, "U");
        QTest::keyClick(finder, Qt::Key_Down); // at the end: nothing
        QCOMPARE(f.current(), QString("URI"));
        QVERIFY(finder->text().isEmpty());
        QTest::keyClick(finder, Qt::Key_Up);
        QCOMPARE(f.current(), QString("Physical Exam"));
        QCOMPARE(f.pane->macroButton()->text(), QString("Edit Macro"));
        QCOMPARE(f.pane->categoryText(), QString("Physical")); // filter off: the row's category
        QTest::keyClick(finder, Qt::Key_Up);
        QCOMPARE(f.pane->macroButton()->text(), QString("Create Macro"));
        QCOMPARE(f.pane->categoryText(), QString("Acute"));
        QVERIFY(finder->hasFocus());
        f.dx().first();
        QTest::keyClick(finder, Qt::Key_Up); // at the start: nothing
        QCOMPARE(f.current(), QString("Ankle Sprain"));

        bool patientFilter = true;
        f.pane->setPatientFilterHook([&] { return patientFilter; });
        QTest::keyClick(finder, Qt::Key_Return);
        QCOMPARE(enter.count(), 0);
        patientFilter = false;
        QTest::keyClick(finder, Qt::Key_Return);
        QCOMPARE(enter.count(), 1);

        // Leaving the box after a match shows the full name.
        QTest::keyClicks(finder, "bA");
        f.pane->grid()->setFocus();
        QCOMPARE(finder->text(), QString("Back Pain"));
        QCOMPARE(hints.last().at(0).toString(), QString("Hints"));
    }

    void filterByCategory()
    {
        Fixture f(kLibrary);
        QComboBox* box = f.pane->categoryBox();
        QVERIFY(!box->isEnabled());
        // Before any choice the current category is the last one of the list.
        f.dx().locate({"Dx"}, {"Asthma"});
        f.pane->setFilterOn(true);
        QVERIFY(box->isEnabled());
        QCOMPARE(listed(f.dx()), QStringList());

        f.chooseCategory("Acute");
        QCOMPARE(listed(f.dx()), QStringList({"Ankle Sprain", "Back Pain", "URI"}));
        f.dx().locate({"Dx"}, {"Back Pain"});

        // Typed in other letter case the text matches no category: the filter stays.
        box->setEditText(QString());
        QTest::keyClicks(box->lineEdit(), "physical");
        QCOMPARE(box->currentText(), QString("physical"));
        QCOMPARE(listed(f.dx()), QStringList({"Ankle Sprain", "Back Pain", "URI"}));
        // Chosen from the list it does.
        f.chooseCategory("Physical");
        QCOMPARE(listed(f.dx()), QStringList({"Physical Exam"}));
        box->setEditText(QString());
        QTest::keyClicks(box->lineEdit(), "Chronic");
        QCOMPARE(listed(f.dx()), QStringList({"Asthma"}));

        // Off: everything is listed again and the presentation shown stays current.
        f.pane->setFilterOn(false);
        QVERIFY(!box->isEnabled());
        QCOMPARE(listed(f.dx()).size(), kLibrary.size());
        QCOMPARE(f.current(), QString("Asthma"));
        // On again: the remembered presentation is still listed and stays current.
        f.pane->setFilterOn(true);
        QCOMPARE(f.current(), QString("Asthma"));
    }

    void addAndRename()
    {
        Fixture f(kLibrary);
        // An existing name gives two presentations of that name.
        f.runDialog(&TDiagnosisPane::AddDxClick, "URI", "Acute");
        QCOMPARE(listed(f.dx()).count("URI"), 2);
        QCOMPARE(f.dx().state(), TableState::Browse);

        // Added with another category than the filter's: not listed until that one is chosen.
        f.pane->setFilterOn(true);
        f.chooseCategory("Acute");
        f.runDialog(&TDiagnosisPane::AddDxClick, " sore throat ", "Skin");
        QVERIFY(!listed(f.dx()).contains(" sore throat "));
        f.chooseCategory("Skin");
        QCOMPARE(listed(f.dx()), QStringList({" sore throat "})); // stored as typed

        // Rename keeps the category unless another is chosen.
        f.pane->setFilterOn(false);
        f.dx().locate({"Dx"}, {"Asthma"});
        f.runDialog(&TDiagnosisPane::BttnEditDxClick, "Asthma, mild", "Chronic");
        QVERIFY(f.dx().locate({"Dx"}, {"Asthma, mild"}));
        QCOMPARE(f.dx().text("Category"), QString("Chronic"));
        QVERIFY(!listed(f.dx()).contains("Asthma"));
        QCOMPARE(listed(f.dx()).size(), kLibrary.size() + 2);

        // The dialog's title chooses the mode; its macro button follows the row.
        whenModal([&] { f.pane->AddDxClick(); },
                  [&](QWidget* w) {
                      auto* dlg = static_cast<TFormAddDlg*>(w);
                      QCOMPARE(dlg->windowTitle(), QString("Add Diagnosis and Category"));
                      QCOMPARE(dlg->macroButton()->text(), QString("Save and Create Macro"));
                      QVERIFY(!(dlg->windowFlags() & Qt::WindowCloseButtonHint));
                      dlg->cancelButton()->click();
                  });
        f.dx().locate({"Dx"}, {"Ankle Sprain"});
        whenModal([&] { f.pane->BttnEditDxClick(); },
                  [&](QWidget* w) {
                      auto* dlg = static_cast<TFormAddDlg*>(w);
                      QCOMPARE(dlg->windowTitle(), QString("Edit Diagnosis"));
                      QCOMPARE(dlg->nameBox()->text(), QString("Ankle Sprain"));
                      QCOMPARE(dlg->categoryBox()->currentText(), QString("Acute"));
                      QCOMPARE(dlg->macroButton()->text(), QString("Save and Edit Macro"));
                      dlg->cancelButton()->click();
                  });
    }

    void renameOnEmptyListStartsAPresentation()
    {
        Fixture f;
        f.runDialog(&TDiagnosisPane::BttnEditDxClick, "Cough", "Acute");
        QCOMPARE(listed(f.dx()), QStringList({"Cough"}));
        QCOMPARE(f.dx().text("Category"), QString("Acute"));
    }

    void cancelLeavesTheListUnchanged()
    {
        Fixture f(kLibrary);
        const QByteArray before = [&] {
            QFile file(f.dir.file("Dx.dxm"));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        f.dx().locate({"Dx"}, {"Asthma"});
        f.runDialog(&TDiagnosisPane::AddDxClick, "Otitis", "Acute", &TFormAddDlg::cancelButton);
        f.runDialog(&TDiagnosisPane::BttnEditDxClick, "Renamed", "Skin", &TFormAddDlg::cancelButton);
        QCOMPARE(listed(f.dx()).size(), kLibrary.size());
        QVERIFY(f.dx().locate({"Dx"}, {"Asthma"}));
        QCOMPARE(f.dx().text("Category"), QString("Chronic"));
        QCOMPARE(f.dx().state(), TableState::Browse);
        QFile file(f.dir.file("Dx.dxm"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void missingNameOrCategory_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("category");
        QTest::addColumn<bool>("refused");
        QTest::newRow("no name") << "" << "Acute" << true;
        QTest::newRow("no category") << "Flu" << "" << true;
        QTest::newRow("blanks count as a name") << "   " << "Acute" << false;
    }
    void missingNameOrCategory()
    {
        QFETCH(QString, name);
        QFETCH(QString, category);
        QFETCH(bool, refused);
        Fixture f(kLibrary);
        whenModal([&] { f.pane->AddDxClick(); },
                  [&](QWidget* w) {
                      auto* dlg = static_cast<TFormAddDlg*>(w);
                      dlg->nameBox()->setText(name);
                      dlg->categoryBox()->setCurrentIndex(dlg->categoryBox()->findText(category));
                      dlg->saveButton()->click();
                      QCOMPARE(dlg->isVisible(), refused);
                      if (!refused)
                          return;
                      QCOMPARE(f.prompter.shown().size(), 1);
                      QCOMPARE(f.prompter.shown().at(0).type, MessageType::Information);
                      QCOMPARE(f.prompter.shown().at(0).buttons, Buttons::Ok);
                      QCOMPARE(f.prompter.shown().at(0).text, QString("You must first enter a name and category."));
                      QCOMPARE(f.dx().state(), TableState::Insert); // still in editing
                      // Completing the entry saves it.
                      dlg->nameBox()->setText("Flu");
                      dlg->categoryBox()->setCurrentIndex(0);
                      dlg->saveButton()->click();
                      QVERIFY(!dlg->isVisible());
                  });
        QCOMPARE(listed(f.dx()).size(), kLibrary.size() + 1);
    }

    void deleteAsksAndPersists()
    {
        Fixture f(kLibrary);
        QVERIFY(QTest::qWaitForWindowActive(f.pane.get()));
        QLineEdit* finder = f.pane->finder();
        finder->setFocus();
        QTest::keyClicks(finder, "ur");
        f.pane->grid()->setFocus();
        QCOMPARE(finder->text(), QString("URI"));

        f.prompter.queueAnswer(Answer::Cancel);
        f.pane->DeleteDxActionExecute();
        QCOMPARE(f.prompter.shown().last().text, QString("Are you sure you want to delete Dx URI?"));
        QCOMPARE(f.prompter.shown().last().buttons, Buttons::YesCancel);
        QCOMPARE(f.prompter.shown().last().type, MessageType::Confirmation);
        QCOMPARE(listed(f.dx()).size(), kLibrary.size());

        f.prompter.queueAnswer(Answer::Yes);
        f.pane->DeleteDxActionExecute();
        QVERIFY(!listed(f.dx()).contains("URI"));

        // Gone after a restart with no other change in between.
        f.pane.reset();
        f.dm->shutDown();
        f.startDataModule();
        QCOMPARE(listed(f.dx()), QStringList({"Ankle Sprain", "Asthma", "Back Pain", "Physical Exam"}));
    }

    void deleteOnEmptyListIsRefused()
    {
        Fixture f;
        f.prompter.queueAnswer(Answer::Yes);
        f.pane->DeleteDxActionExecute();
        QCOMPARE(f.prompter.shown().size(), 2);
        QCOMPARE(f.prompter.shown().at(1).type, MessageType::Error);
        QVERIFY(f.prompter.shown().at(1).text.endsWith("Cannot perform this operation on an empty dataset"));
        QVERIFY(f.dx().isEmpty());
    }

    void saveAndCreateMacro()
    {
        Fixture f(kLibrary);
        bool editorRan = false;
        // Save and Create Macro opens the editor on the presentation just saved, even when an
        // older one has the same name.
        whenModal([&] { f.pane->AddDxClick(); },
                  [&](QWidget* w) {
                      auto* dlg = static_cast<TFormAddDlg*>(w);
                      dlg->nameBox()->setText("URI");
                      dlg->categoryBox()->setCurrentIndex(dlg->categoryBox()->findText("Other"));
                      onModal<TMacroTextDialog>([&](TMacroTextDialog* ed) {
                          editorRan = true;
                          QVERIFY(ed->editor()->toPlainText().isEmpty());
                          typeInto(ed->editor(), "Cough for {Interval}.");
                          ed->saveButton()->click();
                          ed->exitButton()->click(); // saved: closes without a question
                          QVERIFY(!ed->isVisible());
                      });
                      dlg->macroButton()->click();
                  });
        QVERIFY(editorRan);
        QCOMPARE(f.prompter.shown().size(), 0);
        QCOMPARE(f.pane->macroButton()->text(), QString("Edit Macro"));
        QCOMPARE(f.dx().text("Category"), QString("Other"));
        QCOMPARE(f.dx().text("Macro"), QString("Cough for {Interval}."));
        QVERIFY(f.dx().locate({"Dx", "Category"}, {"URI", "Acute"}));
        QVERIFY(f.dx().isNull("Macro")); // the older one is untouched

        // Unsaved changes: Cancel keeps the editor open, No drops them.
        f.dx().locate({"Dx"}, {"Ankle Sprain"});
        whenModal([&] { f.pane->BtnCreateMacroClick(); },
                  [&](QWidget* w) {
                      auto* ed = static_cast<TMacroTextDialog*>(w);
                      QCOMPARE(ed->editor()->toPlainText(), QString("{List left,right} ankle"));
                      typeInto(ed->editor(), "changed");
                      f.prompter.queueAnswer(Answer::Cancel);
                      ed->close();
                      QVERIFY(ed->isVisible());
                      QCOMPARE(f.prompter.shown().last().text, QString("Do you want to save your changes before exiting?"));
                      QCOMPARE(f.prompter.shown().last().buttons, Buttons::YesNoCancel);
                      f.prompter.queueAnswer(Answer::No);
                      ed->exitButton()->click();
                      QVERIFY(!ed->isVisible());
                  });
        QCOMPARE(f.dx().state(), TableState::Browse);
        QCOMPARE(f.dx().text("Macro"), QString("{List left,right} ankle"));

        // Yes saves; clearing the text makes the button read "Create Macro".
        whenModal([&] { f.pane->BtnCreateMacroClick(); },
                  [&](QWidget* w) {
                      auto* ed = static_cast<TMacroTextDialog*>(w);
                      typeInto(ed->editor(), "");
                      f.prompter.queueAnswer(Answer::Yes);
                      ed->exitButton()->click();
                  });
        QCOMPARE(f.dx().text("Dx"), QString("Ankle Sprain"));
        QVERIFY(f.dx().isNull("Macro"));
        QCOMPARE(f.pane->macroButton()->text(), QString("Create Macro"));
    }
};

QTEST_MAIN(TestDiagnosisPane)
#include "test_diagnosis_pane.moc"
