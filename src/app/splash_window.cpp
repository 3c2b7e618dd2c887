#include "app/splash_window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

TFormSplash::TFormSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FormSplash"));
    setFixedSize(420, 240);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void TFormSplash::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0xf4, 0xf7, 0xfb));
    p.setPen(QPen(QColor(0x2b, 0x57, 0x8c), 2));
    p.drawRect(rect().adjusted(1, 1, -2, -2));
    // The picture: a note sheet with a cross, the program's emblem.
    const QRectF sheet(36, 50, 96, 124);
    p.setBrush(Qt::white);
    p.drawRoundedRect(sheet, 6, 6);
    p.setPen(QPen(QColor(0xb0, 0xbc, 0xcc), 2));
    for (int y = 120; y < 166; y += 12)
        p.drawLine(QPointF(sheet.left() + 14, y), QPointF(sheet.right() - 14, y));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0x32, 0x32));
    p.drawRect(QRectF(sheet.center().x() - 8, 62, 16, 44));
    p.drawRect(QRectF(sheet.center().x() - 22, 76, 44, 16));

    p.setPen(QColor(0x2b, 0x57, 0x8c));
    QFont title = font();
    title.setPointSize(22);
    title.setBold(true);
    p.setFont(title);
    p.drawText(QRect(150, 70, 260, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Medrova 2.0"));
    QFont line = font();
    line.setPointSize(11);
    p.setFont(line);
    p.drawText(QRect(150, 115, 260, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Medical Documentation Software"));
}
