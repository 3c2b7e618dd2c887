#include "platform/qt_printers.h"

#include <QPrinterInfo>

QtPrinterList::QtPrinterList()
{
    m_names = QPrinterInfo::availablePrinterNames();
    m_current = int(m_names.indexOf(QPrinterInfo::defaultPrinterName()));
    if (m_current < 0 && !m_names.isEmpty())
        m_current = 0;
}

QStringList QtPrinterList::names() const
{
    QMutexLocker lock(&m_mutex);
    return m_names;
}

int QtPrinterList::currentIndex() const
{
    QMutexLocker lock(&m_mutex);
    return m_current;
}

void QtPrinterList::setCurrentIndex(int index)
{
    QMutexLocker lock(&m_mutex);
    m_current = index;
}
