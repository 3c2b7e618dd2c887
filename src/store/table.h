#pragma once
// An in-memory table: typed fields, named indexes with one active browse order, a filter, a
// cursor and browse/edit/insert states, loaded whole from and saved whole to its file.

#include "store/table_types.h"

#include <QObject>
#include <QVariant>
#include <exception>
#include <functional>
#include <memory>

// Thrown by a before-event handler to stop its operation without a message.
class AbortOperation : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

enum class TableState { Inactive, Browse, Edit, Insert };
enum class FileForm { None, Plain, Compressed };
// What save-on-close does with the previous file: keep it as ".bak", or just replace it.
enum class BackupRule { None, KeepBak };

struct LocateOptions {
    bool caseInsensitive = false;
    bool partialKey = false; // texts match when they begin with the value sought
};

class Table : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(Table&)>;

    explicit Table(const QString& name, QObject* parent = nullptr);
    ~Table() override;
    QString name() const { return m_name; }

    // Definitions. Changing fields closes the table. "Too many fielddefs..." past 256.
    void setFieldDefs(std::vector<FieldDef> fields);
    const std::vector<FieldDef>& fieldDefs() const { return m_fields; }
    void setIndexDefs(std::vector<IndexDef> indexes);
    void addIndex(const IndexDef& index);
    const std::vector<IndexDef>& indexDefs() const { return m_indexes; }
    int fieldIndex(const QString& name) const; // -1 when there is none (case-insensitive)
    int fieldCount() const { return int(m_fields.size()); }
    void setEditMask(const QString& field, const QString& mask);

    // Lifecycle. open() loads the file when persistent and the file exists; close() saves
    // first when persistent (save-on-close) and then empties the table.
    void createTable(); // opens empty with the current definitions
    void open();
    void close();
    bool isActive() const { return m_state != TableState::Inactive; }
    void emptyTable();

    // Persistence and file form.
    void setFileName(const QString& path) { m_fileName = path; }
    QString fileName() const { return m_fileName; }
    void setPersistent(bool on) { m_persistent = on; }
    bool persistent() const { return m_persistent; }
    void setFileForm(FileForm form) { m_form = form; }
    FileForm fileForm() const { return m_form; }
    void setBackupRule(BackupRule rule) { m_backupRule = rule; }
    // Memo values held compressed in memory (expanded on every read).
    void setMemoCompression(bool on);
    bool memoCompression() const { return m_memoCompression; }

    // Whole-table streams. Saving writes every row in the active order, filter or not.
    QByteArray plainStream() const;
    void loadPlainStream(const QByteArray& bytes);
    // Saves through a temporary file renamed over the old one; raises on any failure, the old
    // file then being intact. "No format specified." for FileForm::None.
    void saveToFile(const QString& path, FileForm form) const;
    // The same for a stream taken with plainStream(); touches no table, so any thread may run it.
    static void saveStream(const QString& path, const QByteArray& plain, FileForm form);
    void save() const { saveToFile(m_fileName, m_form); }
    // Replaces definitions and rows with the file's; on failure the table keeps its rows.
    void loadFromFile(const QString& path, FileForm form);

    // Cursor over the visible rows (filter applied) in the active order.
    int rowCount() const { return int(m_view.size()); }
    int totalRowCount() const { return int(m_store.size()); }
    bool isEmpty() const { return m_view.empty(); }
    int recNo() const { return m_cursor; } // -1 when there is no row
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    void first();
    void last();
    void next();
    void prior();
    void moveTo(int position);
    bool locate(const QStringList& fields, const QVariantList& values, LocateOptions options = {});

    // Values of the current row (the edit buffer while editing or inserting).
    QVariant value(int field) const;
    QVariant value(const QString& field) const;
    QString text(const QString& field) const { return value(field).toString(); }
    bool isNull(const QString& field) const { return value(field).isNull(); }
    // Requires edit or insert state ("Dataset not in edit or insert mode").
    void setValue(const QString& field, const QVariant& v);
    void setValue(int field, const QVariant& v);
    // Values of any visible row, for views.
    QVariant valueAt(int position, int field) const;
    // Value of a row handed to a filter handler.
    QVariant rowValue(const Row& row, int field) const;

    // States. The operations return false when a before-event aborted them.
    TableState state() const { return m_state; }
    bool insert();
    bool append() { return insert(); }
    bool edit();
    bool post();
    void cancel();
    bool deleteRow();

    // Order, filter, display.
    void setActiveIndex(const QString& name);
    QString activeIndex() const { return m_activeIndex; }
    // An internal order on the given fields (';'-separated); not an index definition.
    void sortOn(const QString& fields, bool caseInsensitive);
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }
    void refresh();
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_freeze > 0; }

    // Events. Before-events may throw AbortOperation.
    Handler beforeInsert, afterInsert, beforeEdit, afterEdit, beforePost, afterPost, beforeCancel,
        afterCancel, beforeDelete, afterDelete, beforeScroll, afterScroll, onStateChange;
    std::function<bool(const Table&, const Row&)> onFilterRecord;
    std::function<void(Table&, int field)> onDataChange;

Q_SIGNALS:
    // For views; none is sent while the display is frozen (enableControls sends layoutReset).
    void layoutReset();
    void rowChanged(int position);
    void cursorMoved(int position);
    void stateChanged(TableState state);

private:
    struct Order {
        std::vector<int> fields;
        bool caseInsensitive = false;
        bool descending = false;
    };
    void requireActive() const;
    int requireField(const QString& name) const;
    bool less(const Row* a, const Row* b) const;
    int compareValues(const QVariant& a, const QVariant& b, int field, bool ci) const;
    void rebuildOrder();
    void rebuildView();
    bool passes(const Row* row) const;
    void setCursor(int position, bool events);
    void setState(TableState state);
    void notifyReset();
    void adopt(TableData&& data);
    QVariant stored(int field, const QVariant& v) const;
    QVariant expanded(int field, const QVariant& v) const;
    void checkUnique(const std::vector<QVariant>& values, const Row* self) const;
    bool matches(const Row* row, const std::vector<int>& fields, const QVariantList& values,
                 LocateOptions options) const;
    bool run(const Handler& h);
    Row* currentRow() const;

    QString m_name;
    std::vector<FieldDef> m_fields;
    std::vector<IndexDef> m_indexes;
    QString m_activeIndex;
    Order m_order;
    std::vector<std::unique_ptr<Row>> m_store; // insertion order
    std::vector<Row*> m_sorted;                // all rows, active order
    std::vector<Row*> m_view;                  // visible rows
    int m_cursor = -1;
    bool m_bof = true;
    bool m_eof = true;
    TableState m_state = TableState::Inactive;
    std::vector<QVariant> m_buffer;
    bool m_filtered = false;
    int m_freeze = 0;
    QString m_fileName;
    bool m_persistent = false;
    FileForm m_form = FileForm::Plain;
    BackupRule m_backupRule = BackupRule::None;
    bool m_memoCompression = false;
    qint64 m_autoInc = 0;
};
