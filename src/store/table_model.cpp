#include "store/table_model.h"

#include "platform/dates.h"

TableModel::TableModel(Table* table, const QStringList& fields, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_names(fields)
{
    reset();
    connect(table, &Table::layoutReset, this, &TableModel::reset);
    connect(table, &Table::stateChanged, this, &TableModel::reset);
    connect(table, &Table::rowChanged, this, [this](int position) {
        const int row = inserting() ? std::max(position, 0) : position;
        if (row >= 0 && row < rowCount())
            Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    });
    connect(table, &Table::cursorMoved, this, [this](int) { Q_EMIT currentRowChanged(currentRow()); });
}

void TableModel::reset()
{
    beginResetModel();
    m_fields.clear();
    if (m_table) {
        if (m_names.isEmpty()) {
            for (int i = 0; i < m_table->fieldCount(); ++i)
                m_fields.push_back(i);
        } else {
            for (const QString& n : m_names)
                m_fields.push_back(m_table->fieldIndex(n));
        }
    }
    endResetModel();
    Q_EMIT currentRowChanged(currentRow());
}

bool TableModel::inserting() const { return m_table && m_table->state() == TableState::Insert; }

int TableModel::fieldAt(int column) const
{
    return column >= 0 && column < int(m_fields.size()) ? m_fields[size_t(column)] : -1;
}

int TableModel::currentRow() const
{
    if (!m_table || !m_table->isActive())
        return -1;
    if (inserting())
        return std::max(m_table->recNo(), 0);
    return m_table->recNo();
}

int TableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_table || !m_table->isActive())
        return 0;
    return m_table->rowCount() + (inserting() ? 1 : 0);
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    if (!m_table || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    const int field = fieldAt(index.column());
    if (field < 0)
        return {};
    int row = index.row();
    QVariant v;
    if (inserting()) {
        const int at = currentRow();
        if (row == at)
            v = m_table->value(field);
        else
            v = m_table->valueAt(row > at ? row - 1 : row, field);
    } else {
        v = m_table->valueAt(row, field);
    }
    const FieldType type = m_table->fieldDefs()[size_t(field)].type;
    if (role == Qt::DisplayRole && !v.isNull()) {
        if (type == FieldType::Date)
            return Dates::shortDate(Dates::dateFromDayCount(v.toDouble()));
        if (type == FieldType::DateTime)
            return Dates::dateTimeText(Dates::fromDayCount(v.toDouble()));
    }
    return v;
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !m_table)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    const int field = fieldAt(section);
    return field < 0 ? QVariant() : QVariant(m_table->fieldDefs()[size_t(field)].displayName);
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int field = fieldAt(index.column());
    if (field >= 0 && m_table && !m_table->fieldDefs()[size_t(field)].readOnly)
        f |= Qt::ItemIsEditable;
    return f;
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_table || role != Qt::EditRole || fieldAt(index.column()) < 0)
        return false;
    if (!inserting() && index.row() != m_table->recNo())
        m_table->moveTo(index.row());
    if (m_table->state() == TableState::Browse && !m_table->edit())
        return false;
    m_table->setValue(fieldAt(index.column()), value);
    return true;
}

#include "moc_table_model.cpp"
