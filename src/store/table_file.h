#pragma once
// Reader and writer of the tagged table file stream ("TPF0", version, field definitions,
// index definitions, rows). Works on bytes only; files and containers are the caller's.

#include "store/table_types.h"

#include <QByteArray>
#include <QIODevice>
#include <functional>

namespace TableFile {
constexpr int Version = 251;
constexpr int MaxFields = 256;

// Writes definitions and the given rows in that order. A QByteArray value of a text field is
// a compressed blob and is written expanded. Progress (0-100) every 100 rows when given.
QByteArray write(const std::vector<FieldDef>& fields, const std::vector<IndexDef>& indexes,
                 const std::vector<const Row*>& rows,
                 const std::function<void(int)>& progress = {});
bool write(QIODevice& device, const TableData& data);

// Reads a whole stream. An empty field list keeps `ownFields`, an empty (or absent) index list
// keeps `ownIndexes`. Raises the format's errors: "Invalid stream format", "Stream read error",
// "Invalid property value", "Unknown field type (%s)", "Couldnt determine field count for load.".
TableData read(const QByteArray& bytes, const std::vector<FieldDef>& ownFields = {},
               const std::vector<IndexDef>& ownIndexes = {});
TableData read(QIODevice& device, const std::vector<FieldDef>& ownFields = {},
               const std::vector<IndexDef>& ownIndexes = {});

// "Too many fielddefs. Please raise KBM_MAX_FIELDS value." past MaxFields definitions.
void checkFieldCount(size_t count);
} // namespace TableFile
