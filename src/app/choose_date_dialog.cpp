#include "app/choose_date_dialog.h"

#include "platform/dates.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TChooseDateDialog::TChooseDateDialog(const QDate& start, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChooseDateDialog"));
    setWindowTitle(QStringLiteral("Choose A Date"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_edit = new QDateEdit(start, this);
    m_edit->setObjectName(QStringLiteral("DateField"));
    m_edit->setDisplayFormat(Dates::shortDateFormat());
    m_edit->setCalendarPopup(true);
    m_edit->calendarWidget()->setFirstDayOfWeek(Qt::Sunday);
    layout->addWidget(m_edit);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OkButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

QDate TChooseDateDialog::date() const { return m_edit->date(); }
