#include "library/add_dx_dialog.h"

#include "library/diagnosis_logic.h"
#include "platform/errors.h"
#include "platform/prompter.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TFormAddDlg::TFormAddDlg(DiagnosisPaneLogic& logic, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_logic(logic)
{
    setObjectName(QStringLiteral("FormAddDlg"));
    setModal(true);
    setWindowTitle(DiagnosisPaneLogic::addTitle());

    auto* layout = new QVBoxLayout(this);
    auto* nameLabel = new QLabel(QStringLiteral("New Diagnosis"), this);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("Edit1"));
    m_name->setMaxLength(40); // the width of the `Dx` field
    nameLabel->setBuddy(m_name);
    auto* catLabel = new QLabel(QStringLiteral("Category"), this);
    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("DBLookupCat"));
    m_category->setEditable(false);
    m_category->setMaxVisibleItems(8);
    catLabel->setBuddy(m_category);
    layout->addWidget(nameLabel);
    layout->addWidget(m_name);
    layout->addWidget(catLabel);
    layout->addWidget(m_category);

    auto* buttons = new QHBoxLayout;
    m_save = new QPushButton(QStringLiteral("&Save"), this);
    m_save->setObjectName(QStringLiteral("BtnAdd"));
    m_save->setDefault(true);
    m_createMacro = new QPushButton(QStringLiteral("Save and Create Macro"), this);
    m_createMacro->setObjectName(QStringLiteral("ButtonCreateMacro"));
    m_createMacro->setAutoDefault(false);
    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("BtnCancel"));
    m_cancel->setAutoDefault(false);
    buttons->addWidget(m_save);
    buttons->addWidget(m_createMacro);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);

    connect(m_save, &QPushButton::clicked, this, &TFormAddDlg::BtnAddClick);
    connect(m_createMacro, &QPushButton::clicked, this, &TFormAddDlg::ButtonCreateMacroClick);
    connect(m_cancel, &QPushButton::clicked, this, &TFormAddDlg::BtnCancelClick);
}

void TFormAddDlg::setCategories(const QStringList& names)
{
    m_category->clear();
    m_category->addItems(names);
    m_category->setCurrentIndex(-1);
}

void TFormAddDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_wantsEditor = false;
    try {
        m_logic.beginDialog(DiagnosisPaneLogic::dialogModeForTitle(windowTitle()));
    } catch (const MedrovaError& e) {
        report(e);
    }
    m_createMacro->setText(m_logic.dialogMacroButtonCaption());
    // The drop-down shows the row's category when it is one of the list, nothing otherwise.
    m_category->setCurrentIndex(m_category->findText(m_logic.editedCategory(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    m_name->setFocus();
}

bool TFormAddDlg::save()
{
    try {
        if (!m_logic.saveDialog(m_name->text(), m_category->currentText())) {
            m_name->setFocus();
            return false;
        }
    } catch (const MedrovaError& e) {
        report(e); // the table keeps the change in memory; the dialog closes as after a save
    }
    return true;
}

void TFormAddDlg::BtnAddClick()
{
    if (save())
        QDialog::accept();
}

void TFormAddDlg::ButtonCreateMacroClick()
{
    if (!save())
        return;
    m_wantsEditor = true;
    QDialog::accept();
}

void TFormAddDlg::BtnCancelClick()
{
    m_logic.cancelDialog();
    QDialog::reject();
}

void TFormAddDlg::reject() { BtnCancelClick(); }

void TFormAddDlg::report(const std::exception& e)
{
    const auto* m = dynamic_cast<const MedrovaError*>(&e);
    Prompter::current().error(m ? m->text() : QString::fromLocal8Bit(e.what()));
}
