#pragma once
// The pick list as the interpreter asks for it (PickRequest) and what the user did with it
// (PickAction). The dialog only reports the action; the interpreter turns it into pasted text.

#include <QList>
#include <QString>
#include <QStringList>
#include <QMetaType>

// One list to show. Items are shown in order, all of them, several selectable at once.
struct PickRequest {
    QString caption = QStringLiteral("Select");
    QStringList items;
    bool multiSelect = true;
    // True when the same list is asked for again because the last action could not be used
    // (a paste entry with nothing selected): the dialog keeps the list and its selection.
    bool repeated = false;
};

struct PickAction {
    enum class Kind {
        DoubleClick,         // double click on `item`; `selection` is what was selected with it
        PasteInLine,         // "Paste Selections In A Line"
        PastePerLine,        // "Paste One Item Per Line"
        PasteEveryOtherLine, // "Paste One Item Every Other Line"
        Skip,                // "&Skip These Choices"
        Cancel,              // "&Cancel Macro"
        Close,               // the close box
    };
    Kind kind = Kind::Close;
    int item = -1;          // the list's current item (clicked item for a double click), 0-based
    QList<int> selection;   // 0-based indexes of the selected items, any order

    static PickAction doubleClick(int item, QList<int> selection = {})
    {
        return {Kind::DoubleClick, item, std::move(selection)};
    }
    static PickAction paste(Kind kind, QList<int> selection, int current = -1)
    {
        return {kind, current, std::move(selection)};
    }
    static PickAction skip() { return {Kind::Skip, -1, {}}; }
    static PickAction cancel() { return {Kind::Cancel, -1, {}}; }
    static PickAction close() { return {Kind::Close, -1, {}}; }
};

Q_DECLARE_METATYPE(PickRequest)
Q_DECLARE_METATYPE(PickAction)
