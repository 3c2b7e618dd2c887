#pragma once
// TMainForm: the program's main window, the frame around the note area and the pick panel.
// Its caption is the title alone or "title - note file name".

#include <QMainWindow>

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    static QString title() { return QStringLiteral("Medrova"); }
};
