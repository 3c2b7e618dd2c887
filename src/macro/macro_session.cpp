#include "macro/macro_session.h"

void SlotMemory::clear()
{
    marker.fill(Unset);
    for (auto& slot : texts)
        for (QString& t : slot)
            t.clear();
}

void SlotMemory::remember(int slot, int index, const QString& text)
{
    if (slot < 0 || slot >= Slots || index < 0 || index >= Positions)
        return;
    texts[slot][index] = text.left(MaxText);
}

bool SlotMemory::anyChosen(int slot) const
{
    if (slot < 0 || slot >= Slots)
        return false;
    for (const QString& t : texts[slot])
        if (!t.isEmpty())
            return true;
    return false;
}
