#pragma once
// The running program for window tests: a fresh program directory, a scripted prompter, the
// data module started there and a main window attached to it and shown. Header-only, so that
// only the window tests need the window library.

#include "app/main_window.h"
#include "platform/dates.h"
#include "store/data_module.h"
#include "support/scripted_prompter.h"
#include "support/temp_program_dir.h"

#include <QCoreApplication>
#include <QTest>
#include <memory>

struct MainWindowFixture {
    TempProgramDir dir;
    ScriptedPrompter prompter;
    TDataModule1 dm;
    std::unique_ptr<TMainForm> form;

    MainWindowFixture()
    {
        static int n = 0;
        dm.startUp();
        form = std::make_unique<TMainForm>(
            nullptr, QStringLiteral("MedrovaFixture%1-%2").arg(QCoreApplication::applicationPid()).arg(++n));
        form->SetupProgram();
        form->attachDataModule(dm);
        form->show();
        QApplication::setActiveWindow(form.get());
        QCoreApplication::processEvents();
    }
    ~MainWindowFixture()
    {
        form.reset();
        dm.shutDown();
    }

    // Adds a complete patient (the register refuses incomplete ones); returns its ID.
    int addPatient(const QString& last, const QString& first, const QString& sex = QStringLiteral("F"),
                   const QDate& born = QDate(1970, 5, 1))
    {
        Table& p = dm.kbmTablePatient();
        p.insert();
        p.setValue(QStringLiteral("LastName"), last);
        p.setValue(QStringLiteral("FirstName"), first);
        p.setValue(QStringLiteral("Sex"), sex);
        p.setValue(QStringLiteral("DateOfBirth"), Dates::toDayCount(born));
        p.post();
        return p.value(QStringLiteral("ID")).toInt();
    }
    void addDx(const QString& dx, const QString& category, const QString& macro)
    {
        Table& t = dm.kbmTableDx();
        t.insert();
        t.setValue(QStringLiteral("Dx"), dx);
        t.setValue(QStringLiteral("Category"), category);
        t.setValue(QStringLiteral("Macro"), macro);
        t.post();
    }
    void selectPatient(int id) { dm.kbmTablePatient().locate({QStringLiteral("ID")}, {id}); }
};
