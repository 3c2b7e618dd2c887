#pragma once
// Shows a table's visible rows in browse order to a view, and follows its cursor: the row
// being inserted appears at the cursor position. Editing a cell edits the table's row.

#include "store/table.h"

#include <QAbstractTableModel>
#include <QPointer>

class TableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Shows the named fields (all fields when empty), in that order.
    explicit TableModel(Table* table, const QStringList& fields = {}, QObject* parent = nullptr);
    Table* table() const { return m_table; }
    int fieldAt(int column) const;
    // The view row of the table's cursor (-1 when there is none).
    int currentRow() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    void currentRowChanged(int row);

private:
    void reset();
    bool inserting() const;
    QPointer<Table> m_table;
    QStringList m_names;
    std::vector<int> m_fields;
};
