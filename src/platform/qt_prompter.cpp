#include "platform/qt_prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {
QWidget* parentWindow() { return QApplication::activeWindow(); }
} // namespace

Answer QtPrompter::message(MessageType type, Buttons buttons, const QString& text, const QString& caption)
{
    QMessageBox box(parentWindow());
    switch (type) {
    case MessageType::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageType::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageType::Information: box.setIcon(QMessageBox::Information); break;
    case MessageType::Confirmation: box.setIcon(QMessageBox::Question); break;
    case MessageType::Plain: box.setIcon(QMessageBox::NoIcon); break;
    }
    box.setWindowTitle(caption.isEmpty() ? QApplication::applicationName() : caption);
    box.setText(text);
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel); break;
    case Buttons::NoCancel: box.setStandardButtons(QMessageBox::No | QMessageBox::Cancel); break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Ok: return Answer::Ok;
    default:
        // The close box: Cancel where there is one, else the negative answer.
        if (buttons == Buttons::YesNoCancel || buttons == Buttons::OkCancel || buttons == Buttons::YesCancel
            || buttons == Buttons::NoCancel)
            return Answer::Cancel;
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
}

std::optional<QString> QtPrompter::inputBox(const QString& caption, const QString& prompt, const QString& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parentWindow(), caption, prompt, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

std::optional<QString> QtPrompter::openFileName(const FileDialogRequest& r)
{
    const QString name = QFileDialog::getOpenFileName(parentWindow(), r.caption, r.folder, r.filter);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> QtPrompter::saveFileName(const FileDialogRequest& r)
{
    QFileDialog dlg(parentWindow(), r.caption, r.folder, r.filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(r.defaultSuffix);
    if (!r.fileName.isEmpty())
        dlg.selectFile(r.fileName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

std::optional<QString> QtPrompter::folderName(const QString& caption, const QString& initial)
{
    const QString name = QFileDialog::getExistingDirectory(parentWindow(), caption, initial);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}
