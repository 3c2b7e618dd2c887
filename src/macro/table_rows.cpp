#include "macro/table_rows.h"

#include "store/table.h"

MacroRow macroRowOf(const Table& table)
{
    MacroRow r;
    if (table.isEmpty())
        return r;
    for (const FieldDef& f : table.fieldDefs())
        r.fields[f.name] = table.value(f.name);
    return r;
}
