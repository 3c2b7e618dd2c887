#pragma once
// Writes a file so that a failure or a crash never leaves it half-written: the bytes go to a
// temporary file in the same folder, which is flushed to disk and renamed over the old file.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <functional>

namespace SafeSave {
// Calls `write` with the temporary file; `write` returns false (or throws) to abandon the
// save. Returns false when anything fails; the old file is then untouched.
bool save(const QString& path, const std::function<bool(QIODevice&)>& write);
bool save(const QString& path, const QByteArray& bytes);
} // namespace SafeSave
