#include "library/macro_text_dialog.h"

#include "platform/errors.h"
#include "platform/prompter.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TMacroTextDialog::TMacroTextDialog(TDataModule1& dm, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMaximizeButtonHint),
      m_logic(dm)
{
    setObjectName(QStringLiteral("EditMacroForm"));
    setWindowTitle(QStringLiteral("Edit Macro"));
    setModal(true);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(QStringLiteral("MacroMemo"));
    m_edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    layout->addWidget(m_edit, 1);
    auto* buttons = new QHBoxLayout;
    m_save = new QPushButton(QStringLiteral("&Save Macro"), this);
    m_save->setObjectName(QStringLiteral("BtnSave"));
    m_save->setAutoDefault(false);
    m_exit = new QPushButton(QStringLiteral("&Exit"), this);
    m_exit->setObjectName(QStringLiteral("BtnExit"));
    m_exit->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_exit);
    buttons->addStretch();
    layout->addLayout(buttons);
    resize(640, 480);
    connect(m_save, &QPushButton::clicked, this, &TMacroTextDialog::BtnSaveClick);
    connect(m_exit, &QPushButton::clicked, this, &TMacroTextDialog::BtnExitClick);
}

void TMacroTextDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    try {
        m_edit->setPlainText(m_logic.begin());
    } catch (const MedrovaError& e) {
        report(e);
    }
    m_edit->document()->setModified(false);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    m_edit->setFocus();
}

void TMacroTextDialog::BtnSaveClick()
{
    if (!m_edit->document()->isModified())
        return;
    try {
        m_logic.save(m_edit->toPlainText());
        m_edit->document()->setModified(false);
        m_logic.begin(); // the row stays open for the next change
    } catch (const MedrovaError& e) {
        report(e);
    }
}

void TMacroTextDialog::BtnExitClick() { done(QDialog::Accepted); }

void TMacroTextDialog::done(int result)
{
    if (m_closing)
        return;
    bool close = true;
    try {
        close = m_logic.mayClose(m_edit->document()->isModified(), m_edit->toPlainText());
    } catch (const MedrovaError& e) {
        report(e);
    }
    if (!close)
        return;
    m_closing = true;
    QDialog::done(result);
    m_closing = false;
}

void TMacroTextDialog::closeEvent(QCloseEvent* event)
{
    event->ignore();
    done(QDialog::Rejected);
}

void TMacroTextDialog::report(const std::exception& e)
{
    const auto* m = dynamic_cast<const MedrovaError*>(&e);
    Prompter::current().error(m ? m->text() : QString::fromLocal8Bit(e.what()));
}
