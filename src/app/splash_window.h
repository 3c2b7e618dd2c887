#pragma once
// TFormSplash: the borderless window shown in the middle of the screen while the tables load.

#include <QWidget>

class TFormSplash : public QWidget {
    Q_OBJECT
public:
    explicit TFormSplash(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
