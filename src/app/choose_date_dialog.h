#pragma once
// TChooseDateDialog: the modal "Choose A Date" box that sets the default note date.

#include <QDate>
#include <QDialog>

class QDateEdit;

class TChooseDateDialog : public QDialog {
    Q_OBJECT
public:
    TChooseDateDialog(const QDate& start, QWidget* parent = nullptr);
    QDate date() const;
    QDateEdit* dateEdit() const { return m_edit; }

private:
    QDateEdit* m_edit = nullptr;
};
