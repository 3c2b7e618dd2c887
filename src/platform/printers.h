#pragma once
// The installed printers and the current one. The core sees printers only through this
// interface; the program installs the Qt implementation, tests a list of their own.

#include <QString>
#include <QStringList>

class PrinterList {
public:
    virtual ~PrinterList() = default;
    virtual QStringList names() const = 0;
    virtual int currentIndex() const = 0; // -1 when there is no printer
    virtual void setCurrentIndex(int index) = 0;

    static PrinterList& current();
    static void install(PrinterList* list); // nullptr restores the built-in empty list
};

// A fixed list, for tests and for tools without a printing system.
class StaticPrinterList final : public PrinterList {
public:
    explicit StaticPrinterList(QStringList names = {}, int current = -1)
        : m_names(std::move(names)), m_current(current) {}
    QStringList names() const override { return m_names; }
    int currentIndex() const override { return m_current; }
    void setCurrentIndex(int index) override { m_current = index; }

private:
    QStringList m_names;
    int m_current;
};
