#include "store/table.h"

#include "platform/dates.h"
#include "platform/errors.h"
#include "platform/safe_save.h"
#include "store/lzh_container.h"
#include "store/table_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {
[[noreturn]] void fail(const QString& text) { throw MedrovaError(text); }

bool isMemo(const FieldDef& f)
{
    return FieldTypes::isBlob(f.type) && FieldTypes::valueKind(f.type) == ValueKind::Text;
}

QString nativePath(const QString& path) { return QDir::toNativeSeparators(path); }
} // namespace

Table::Table(const QString& name, QObject* parent) : QObject(parent), m_name(name) {}

Table::~Table() = default;

// ---- definitions -----------------------------------------------------------------------

void Table::setFieldDefs(std::vector<FieldDef> fields)
{
    TableFile::checkFieldCount(fields.size());
    if (isActive()) {
        const bool persistent = m_persistent;
        m_persistent = false;
        close();
        m_persistent = persistent;
    }
    m_fields = std::move(fields);
}

void Table::setIndexDefs(std::vector<IndexDef> indexes)
{
    m_indexes = std::move(indexes);
    if (std::none_of(m_indexes.begin(), m_indexes.end(),
                     [this](const IndexDef& d) { return d.name == m_activeIndex; }))
        m_activeIndex.clear();
    if (isActive())
        setActiveIndex(m_activeIndex);
}

void Table::addIndex(const IndexDef& index)
{
    m_indexes.push_back(index);
}

int Table::fieldIndex(const QString& name) const
{
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

int Table::requireField(const QString& name) const
{
    const int i = fieldIndex(name);
    if (i < 0)
        fail(QStringLiteral("%1: Field '%2' not found").arg(m_name, name));
    return i;
}

void Table::setEditMask(const QString& field, const QString& mask)
{
    m_fields[size_t(requireField(field))].editMask = mask;
}

// ---- lifecycle -------------------------------------------------------------------------

void Table::requireActive() const
{
    if (!isActive())
        fail(QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(m_name));
}

void Table::createTable()
{
    m_store.clear();
    m_sorted.clear();
    m_view.clear();
    m_buffer.clear();
    m_autoInc = 0;
    m_state = TableState::Browse;
    rebuildOrder();
    setCursor(m_view.empty() ? -1 : 0, false);
    notifyReset();
    Q_EMIT stateChanged(m_state);
}

void Table::open()
{
    if (isActive())
        return;
    if (m_persistent && !m_fileName.isEmpty() && QFileInfo::exists(m_fileName)) {
        loadFromFile(m_fileName, m_form);
        return;
    }
    createTable();
    if (afterScroll)
        afterScroll(*this);
}

void Table::close()
{
    if (!isActive())
        return;
    if (m_state != TableState::Browse) {
        m_buffer.clear();
        m_state = TableState::Browse;
    }
    if (m_persistent && !m_fileName.isEmpty()) {
        if (m_backupRule == BackupRule::KeepBak && QFileInfo::exists(m_fileName)) {
            // Keep the previous file as .bak by copying: the table file itself is then replaced
            // in one rename and never missing, whatever happens during the save.
            const QFileInfo info(m_fileName);
            const QString bak = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".bak");
            QFile::remove(bak);
            QFile::copy(m_fileName, bak);
        }
        save();
    }
    m_store.clear();
    m_sorted.clear();
    m_view.clear();
    m_cursor = -1;
    m_bof = m_eof = true;
    m_state = TableState::Inactive;
    notifyReset();
    Q_EMIT stateChanged(m_state);
}

void Table::emptyTable()
{
    requireActive();
    m_state = TableState::Browse;
    m_buffer.clear();
    m_store.clear();
    m_sorted.clear();
    m_view.clear();
    setCursor(-1, false);
    notifyReset();
}

void Table::setMemoCompression(bool on)
{
    if (on == m_memoCompression)
        return;
    std::vector<QVariant> plainValues;
    for (auto& row : m_store) {
        for (size_t i = 0; i < m_fields.size() && i < row->values.size(); ++i) {
            if (isMemo(m_fields[i]) && !row->values[i].isNull())
                row->values[i] = expanded(int(i), row->values[i]);
        }
    }
    m_memoCompression = on;
    for (auto& row : m_store) {
        for (size_t i = 0; i < m_fields.size() && i < row->values.size(); ++i) {
            if (isMemo(m_fields[i]) && !row->values[i].isNull())
                row->values[i] = stored(int(i), row->values[i]);
        }
    }
}

QVariant Table::stored(int field, const QVariant& v) const
{
    if (v.isNull() || !m_memoCompression || !isMemo(m_fields[size_t(field)]) ||
        v.typeId() == QMetaType::QByteArray)
        return v;
    return LzhContainer::compressBlob(v.toString().toUtf8());
}

QVariant Table::expanded(int, const QVariant& v) const
{
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(LzhContainer::decompressBlob(v.toByteArray()));
    return v;
}

// ---- streams and files -----------------------------------------------------------------

QByteArray Table::plainStream() const
{
    requireActive();
    // Every row is written, in the active order, whatever the filter shows.
    std::vector<const Row*> rows(m_sorted.begin(), m_sorted.end());
    return TableFile::write(m_fields, m_indexes, rows);
}

void Table::adopt(TableData&& data)
{
    m_fields = std::move(data.fields);
    m_indexes = std::move(data.indexes);
    if (std::none_of(m_indexes.begin(), m_indexes.end(),
                     [this](const IndexDef& d) { return d.name == m_activeIndex; }))
        m_activeIndex.clear();
    m_store.clear();
    m_store.reserve(data.rows.size());
    for (Row& r : data.rows) {
        auto row = std::make_unique<Row>(std::move(r));
        row->values.resize(m_fields.size());
        if (m_memoCompression) {
            for (size_t i = 0; i < m_fields.size(); ++i)
                row->values[i] = stored(int(i), row->values[i]);
        }
        m_store.push_back(std::move(row));
    }
    m_autoInc = std::max(m_autoInc, data.autoIncMax);
    m_buffer.clear();
    m_state = TableState::Browse;
    rebuildOrder();
    setCursor(m_view.empty() ? -1 : 0, false);
    notifyReset();
    Q_EMIT stateChanged(m_state);
    if (afterScroll)
        afterScroll(*this);
}

void Table::loadPlainStream(const QByteArray& bytes)
{
    adopt(TableFile::read(bytes, m_fields, m_indexes));
}

void Table::saveToFile(const QString& path, FileForm form) const
{
    if (form == FileForm::None)
        fail(QStringLiteral("No format specified."));
    saveStream(path, plainStream(), form);
}

void Table::saveStream(const QString& path, const QByteArray& plain, FileForm form)
{
    if (form == FileForm::None)
        fail(QStringLiteral("No format specified."));
    const bool ok = form == FileForm::Compressed ? SafeSave::save(path, LzhContainer::compressTable(plain))
                                                 : SafeSave::save(path, plain);
    if (!ok)
        fail(QStringLiteral("Cannot create file \"%1\".").arg(nativePath(path)));
}

void Table::loadFromFile(const QString& path, FileForm form)
{
    if (form == FileForm::None)
        fail(QStringLiteral("No format specified."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open file \"%1\". %2").arg(nativePath(path), file.errorString()));
    QByteArray bytes = file.readAll();
    if (form == FileForm::Compressed)
        bytes = LzhContainer::decompressTable(bytes);
    loadPlainStream(bytes);
}

// ---- order, filter ---------------------------------------------------------------------

int Table::compareValues(const QVariant& a, const QVariant& b, int field, bool ci) const
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : an ? -1 : 1;
    const FieldDef& f = m_fields[size_t(field)];
    switch (FieldTypes::valueKind(f.type)) {
    case ValueKind::Integer: {
        const int x = a.toInt(), y = b.toInt();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case ValueKind::LargeInt: {
        const qint64 x = a.toLongLong(), y = b.toLongLong();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case ValueKind::Float: {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case ValueKind::Boolean:
        return int(a.toBool()) - int(b.toBool());
    case ValueKind::Text:
        break;
    }
    const QString x = expanded(field, a).toString();
    const QString y = expanded(field, b).toString();
    const int c = x.compare(y, ci ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool Table::less(const Row* a, const Row* b) const
{
    for (int f : m_order.fields) {
        const int c = compareValues(a->values[size_t(f)], b->values[size_t(f)], f, m_order.caseInsensitive);
        if (c != 0)
            return m_order.descending ? c > 0 : c < 0;
    }
    return false;
}

void Table::rebuildOrder()
{
    m_sorted.clear();
    m_sorted.reserve(m_store.size());
    for (auto& r : m_store)
        m_sorted.push_back(r.get());
    if (!m_order.fields.empty())
        std::stable_sort(m_sorted.begin(), m_sorted.end(),
                         [this](const Row* a, const Row* b) { return less(a, b); });
    rebuildView();
}

bool Table::passes(const Row* row) const
{
    return !m_filtered || !onFilterRecord || onFilterRecord(*this, *row);
}

void Table::rebuildView()
{
    if (!m_filtered || !onFilterRecord) {
        m_view = m_sorted;
        return;
    }
    m_view.clear();
    for (Row* r : m_sorted)
        if (passes(r))
            m_view.push_back(r);
}

void Table::setActiveIndex(const QString& name)
{
    Order order;
    if (!name.isEmpty()) {
        auto it = std::find_if(m_indexes.begin(), m_indexes.end(),
                               [&name](const IndexDef& d) { return d.name.compare(name, Qt::CaseInsensitive) == 0; });
        if (it == m_indexes.end())
            fail(QStringLiteral("%1: Index '%2' not found").arg(m_name, name));
        for (const QString& f : it->fieldList())
            order.fields.push_back(requireField(f));
        order.caseInsensitive = it->caseInsensitive;
        order.descending = it->descending;
        m_activeIndex = it->name;
    } else {
        m_activeIndex.clear();
    }
    m_order = order;
    if (isActive()) {
        Row* current = currentRow();
        rebuildOrder();
        auto it = std::find(m_view.begin(), m_view.end(), current);
        setCursor(it == m_view.end() ? (m_view.empty() ? -1 : 0) : int(it - m_view.begin()), false);
        notifyReset();
    }
}

void Table::sortOn(const QString& fields, bool caseInsensitive)
{
    Order order;
    for (const QString& f : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        order.fields.push_back(requireField(f));
    order.caseInsensitive = caseInsensitive;
    m_order = order;
    m_activeIndex.clear();
    if (isActive()) {
        Row* current = currentRow();
        rebuildOrder();
        auto it = std::find(m_view.begin(), m_view.end(), current);
        setCursor(it == m_view.end() ? (m_view.empty() ? -1 : 0) : int(it - m_view.begin()), false);
        notifyReset();
    }
}

void Table::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    m_filtered = on;
    if (isActive())
        refresh();
}

void Table::refresh()
{
    if (!isActive())
        return;
    Row* current = currentRow();
    rebuildView();
    auto it = std::find(m_view.begin(), m_view.end(), current);
    setCursor(it == m_view.end() ? (m_view.empty() ? -1 : 0) : int(it - m_view.begin()), false);
    notifyReset();
}

void Table::disableControls() { ++m_freeze; }

void Table::enableControls()
{
    if (m_freeze > 0 && --m_freeze == 0) {
        Q_EMIT layoutReset();
        Q_EMIT cursorMoved(m_cursor);
    }
}

void Table::notifyReset()
{
    if (m_freeze == 0)
        Q_EMIT layoutReset();
}

// ---- cursor ----------------------------------------------------------------------------

Row* Table::currentRow() const
{
    return m_cursor >= 0 && m_cursor < int(m_view.size()) ? m_view[size_t(m_cursor)] : nullptr;
}

void Table::setCursor(int position, bool events)
{
    if (events && beforeScroll)
        beforeScroll(*this);
    m_cursor = m_view.empty() ? -1 : std::clamp(position, 0, int(m_view.size()) - 1);
    if (m_freeze == 0)
        Q_EMIT cursorMoved(m_cursor);
    if (events && afterScroll)
        afterScroll(*this);
}

bool Table::run(const Handler& h)
{
    if (!h)
        return true;
    try {
        h(*this);
    } catch (const AbortOperation&) {
        return false;
    }
    return true;
}

void Table::first()
{
    requireActive();
    if (m_state != TableState::Browse && !post())
        return;
    if (!run(beforeScroll))
        return;
    setCursor(0, false);
    m_bof = true;
    m_eof = m_view.empty();
    if (afterScroll)
        afterScroll(*this);
}

void Table::last()
{
    requireActive();
    if (m_state != TableState::Browse && !post())
        return;
    if (!run(beforeScroll))
        return;
    setCursor(int(m_view.size()) - 1, false);
    m_eof = true;
    m_bof = m_view.empty();
    if (afterScroll)
        afterScroll(*this);
}

void Table::moveTo(int position)
{
    requireActive();
    if (m_state != TableState::Browse && !post())
        return;
    if (!run(beforeScroll))
        return;
    setCursor(position, false);
    m_bof = position <= 0;
    m_eof = position >= int(m_view.size()) - 1;
    if (afterScroll)
        afterScroll(*this);
}

void Table::next()
{
    requireActive();
    if (m_cursor + 1 >= int(m_view.size())) {
        m_eof = true;
        return;
    }
    moveTo(m_cursor + 1);
    m_eof = false;
    m_bof = false;
}

void Table::prior()
{
    requireActive();
    if (m_cursor <= 0) {
        m_bof = true;
        return;
    }
    moveTo(m_cursor - 1);
    m_eof = false;
    m_bof = false;
}

bool Table::matches(const Row* row, const std::vector<int>& fields, const QVariantList& values,
                    LocateOptions options) const
{
    for (size_t k = 0; k < fields.size(); ++k) {
        const int f = fields[k];
        const QVariant& have = row->values[size_t(f)];
        const QVariant& want = values.value(qsizetype(k));
        if (FieldTypes::valueKind(m_fields[size_t(f)].type) == ValueKind::Text) {
            const QString h = expanded(f, have).toString();
            const QString w = want.toString();
            const Qt::CaseSensitivity cs = options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
            if (options.partialKey ? !h.startsWith(w, cs) : h.compare(w, cs) != 0)
                return false;
        } else if (want.isNull() || have.isNull()) {
            if (want.isNull() != have.isNull())
                return false;
        } else if (compareValues(have, want, f, false) != 0) {
            return false;
        }
    }
    return true;
}

bool Table::locate(const QStringList& fields, const QVariantList& values, LocateOptions options)
{
    requireActive();
    if (m_state != TableState::Browse && !post())
        return false;
    std::vector<int> idx;
    for (const QString& f : fields)
        idx.push_back(requireField(f));
    for (size_t i = 0; i < m_view.size(); ++i) {
        if (matches(m_view[i], idx, values, options)) {
            moveTo(int(i));
            return true;
        }
    }
    return false;
}

// ---- values ----------------------------------------------------------------------------

QVariant Table::value(int field) const
{
    if (field < 0 || field >= int(m_fields.size()))
        return QVariant();
    if (m_state == TableState::Edit || m_state == TableState::Insert)
        return m_buffer[size_t(field)];
    const Row* row = currentRow();
    return row ? expanded(field, row->values[size_t(field)]) : QVariant();
}

QVariant Table::value(const QString& field) const { return value(requireField(field)); }

QVariant Table::valueAt(int position, int field) const
{
    if (position < 0 || position >= int(m_view.size()) || field < 0 || field >= int(m_fields.size()))
        return QVariant();
    if (position == m_cursor && m_state == TableState::Edit)
        return m_buffer[size_t(field)];
    return expanded(field, m_view[size_t(position)]->values[size_t(field)]);
}

QVariant Table::rowValue(const Row& row, int field) const
{
    if (field < 0 || size_t(field) >= row.values.size())
        return QVariant();
    return expanded(field, row.values[size_t(field)]);
}

void Table::setValue(const QString& field, const QVariant& v) { setValue(requireField(field), v); }

void Table::setValue(int field, const QVariant& v)
{
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        fail(QStringLiteral("%1: Dataset not in edit or insert mode").arg(m_name));
    if (field < 0 || field >= int(m_fields.size()))
        fail(QStringLiteral("%1: Field index out of range").arg(m_name));
    const FieldDef& f = m_fields[size_t(field)];
    QVariant value;
    if (!v.isNull()) {
        switch (FieldTypes::valueKind(f.type)) {
        case ValueKind::Integer: value = v.toInt(); break;
        case ValueKind::LargeInt: value = v.toLongLong(); break;
        case ValueKind::Boolean: value = v.toBool(); break;
        case ValueKind::Float:
            // Dates are held as day counts; a QDate would otherwise convert to 0.
            if (v.metaType().id() == QMetaType::QDate)
                value = Dates::toDayCount(v.toDate());
            else if (v.metaType().id() == QMetaType::QDateTime)
                value = Dates::toDayCount(v.toDateTime());
            else
                value = v.toDouble();
            break;
        case ValueKind::Text: {
            QString s = v.toString();
            if (f.type == FieldType::String && f.size > 0 && s.size() > f.size)
                s.truncate(f.size);
            value = s;
            break;
        }
        }
        // An empty text or a zero date counts as empty.
        if (FieldTypes::valueKind(f.type) == ValueKind::Text && value.toString().isEmpty())
            value = QVariant();
    }
    m_buffer[size_t(field)] = value;
    if (m_freeze == 0 && m_cursor >= 0)
        Q_EMIT rowChanged(m_cursor);
    if (onDataChange)
        onDataChange(*this, field);
}

// ---- editing ---------------------------------------------------------------------------

void Table::setState(TableState state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (onStateChange)
        onStateChange(*this);
    Q_EMIT stateChanged(state);
}

bool Table::insert()
{
    requireActive();
    if (m_state != TableState::Browse && !post())
        return false;
    if (!run(beforeInsert))
        return false;
    m_buffer.assign(m_fields.size(), QVariant());
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].type == FieldType::AutoInc)
            m_buffer[i] = int(m_autoInc + 1);
    setState(TableState::Insert);
    notifyReset();
    if (afterInsert)
        afterInsert(*this);
    return true;
}

bool Table::edit()
{
    requireActive();
    if (m_state == TableState::Edit || m_state == TableState::Insert)
        return true;
    if (m_view.empty())
        return insert();
    if (!run(beforeEdit))
        return false;
    const Row* row = currentRow();
    m_buffer.resize(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i)
        m_buffer[i] = expanded(int(i), row->values[i]);
    setState(TableState::Edit);
    if (afterEdit)
        afterEdit(*this);
    return true;
}

void Table::checkUnique(const std::vector<QVariant>& values, const Row* self) const
{
    for (const IndexDef& d : m_indexes) {
        if (!d.unique)
            continue;
        std::vector<int> idx;
        for (const QString& f : d.fieldList()) {
            const int i = fieldIndex(f);
            if (i >= 0)
                idx.push_back(i);
        }
        if (idx.empty())
            continue;
        for (const auto& r : m_store) {
            if (r.get() == self)
                continue;
            bool same = true;
            for (int i : idx) {
                if (compareValues(r->values[size_t(i)], values[size_t(i)], i, d.caseInsensitive) != 0) {
                    same = false;
                    break;
                }
            }
            if (same)
                fail(QStringLiteral("%1: Key violation.").arg(m_name));
        }
    }
}

bool Table::post()
{
    requireActive();
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        return true;
    if (!run(beforePost))
        return false;
    // A handler may have cancelled or restarted the edit itself.
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        return false;
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].required && m_buffer[i].isNull())
            fail(QStringLiteral("Field '%1' must have a value").arg(m_fields[i].name));
    Row* target = m_state == TableState::Edit ? currentRow() : nullptr;
    checkUnique(m_buffer, target);
    std::vector<QVariant> values(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i)
        values[i] = stored(int(i), m_buffer[i]);
    for (size_t i = 0; i < m_fields.size(); ++i)
        if (m_fields[i].type == FieldType::AutoInc && !values[i].isNull())
            m_autoInc = std::max<qint64>(m_autoInc, values[i].toInt());
    if (target) {
        target->values = std::move(values);
        m_sorted.erase(std::find(m_sorted.begin(), m_sorted.end(), target));
    } else {
        auto row = std::make_unique<Row>();
        row->values = std::move(values);
        target = row.get();
        m_store.push_back(std::move(row));
    }
    // Into its place in the active order, after rows with equal keys.
    auto at = std::upper_bound(m_sorted.begin(), m_sorted.end(), target,
                               [this](const Row* a, const Row* b) { return less(a, b); });
    m_sorted.insert(at, target);
    rebuildView();
    m_buffer.clear();
    auto it = std::find(m_view.begin(), m_view.end(), target);
    const int position = it == m_view.end() ? m_cursor : int(it - m_view.begin());
    setState(TableState::Browse);
    setCursor(position, false);
    notifyReset();
    if (afterPost)
        afterPost(*this);
    return true;
}

void Table::cancel()
{
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        return;
    if (!run(beforeCancel))
        return;
    m_buffer.clear();
    setState(TableState::Browse);
    notifyReset();
    setCursor(m_cursor, false);
    if (afterCancel)
        afterCancel(*this);
}

bool Table::deleteRow()
{
    requireActive();
    if (m_state == TableState::Insert) {
        cancel();
        return true;
    }
    if (m_view.empty())
        fail(QStringLiteral("%1: Cannot perform this operation on an empty dataset").arg(m_name));
    if (!run(beforeDelete))
        return false;
    Row* row = currentRow();
    if (!row)
        return false;
    m_buffer.clear();
    const int position = m_cursor;
    m_sorted.erase(std::find(m_sorted.begin(), m_sorted.end(), row));
    m_view.erase(std::find(m_view.begin(), m_view.end(), row));
    m_store.erase(std::find_if(m_store.begin(), m_store.end(), [row](const auto& p) { return p.get() == row; }));
    setState(TableState::Browse);
    setCursor(position, false);
    notifyReset();
    if (afterDelete)
        afterDelete(*this);
    if (afterScroll)
        afterScroll(*this);
    return true;
}

#include "moc_table.cpp"
