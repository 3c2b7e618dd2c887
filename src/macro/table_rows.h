#pragma once
// A table's current row as the interpreter reads patient and history data.

#include "macro/macro_host.h"

class Table;

MacroRow macroRowOf(const Table& table);
