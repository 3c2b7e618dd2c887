#pragma once
// The installed printers as the printing system reports them; the current printer is the
// default one until a macro or a dialog picks another.

#include "platform/printers.h"

#include <QMutex>

class QtPrinterList final : public PrinterList {
public:
    QtPrinterList();
    QStringList names() const override;
    int currentIndex() const override;
    void setCurrentIndex(int index) override;

private:
    mutable QMutex m_mutex;
    QStringList m_names;
    int m_current = -1;
};
