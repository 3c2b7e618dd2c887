#pragma once
// What outlives one macro run: the bold switch (it governs later runs too) and the ListR slot
// memory (cleared when a run starts, kept across the restarts of that run).

#include <QString>
#include <array>
#include <cstdint>

struct SlotMemory {
    static constexpr int Slots = 10;
    static constexpr int Positions = 25;
    static constexpr int MaxText = 255;
    static constexpr int16_t Unset = -1;
    static constexpr int16_t FromPaste = 99;

    // -1 unset; 0 or more, the index picked by a double click; 99, filled by a paste entry.
    std::array<int16_t, Slots> marker;
    std::array<std::array<QString, Positions>, Slots> texts;

    SlotMemory() { clear(); }
    void clear();
    // Remembers the text of the item at a list index; beyond the 25th position nothing is kept.
    void remember(int slot, int index, const QString& text);
    bool anyChosen(int slot) const;
};

struct MacroSession {
    bool boldOn = false;
    SlotMemory slots;
};
