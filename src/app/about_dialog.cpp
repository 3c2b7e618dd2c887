#include "app/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("Medrova  v2.0"), this);
    QFont f = name->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.4);
    name->setFont(f);
    name->setAlignment(Qt::AlignCenter);
    auto* line1 = new QLabel(QStringLiteral("A Medical Documentation"), this);
    auto* line2 = new QLabel(QStringLiteral("Macro System"), this);
    line1->setAlignment(Qt::AlignCenter);
    line2->setAlignment(Qt::AlignCenter);
    layout->addWidget(name);
    layout->addSpacing(8);
    layout->addWidget(line1);
    layout->addWidget(line2);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
}
