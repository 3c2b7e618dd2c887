#include "platform/printers.h"

#include <atomic>

namespace {
StaticPrinterList g_none;
std::atomic<PrinterList*> g_list{nullptr};
} // namespace

PrinterList& PrinterList::current()
{
    PrinterList* l = g_list.load(std::memory_order_acquire);
    return l ? *l : g_none;
}

void PrinterList::install(PrinterList* list) { g_list.store(list, std::memory_order_release); }
