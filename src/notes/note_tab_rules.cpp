#include "notes/note_tab_rules.h"

#include "app/settings_store.h"

namespace NoteTabRules {

namespace {
const QString Printed = QStringLiteral("(P)");
const QChar Changed = QLatin1Char('*');
} // namespace

QString caption(const QString& lastName, const QString& firstName)
{
    return lastName + QStringLiteral(", ") + NthWord(firstName, 1);
}

QString rebuiltCaption(const QString& lastName, const QString& firstName, const QString& oldCaption, bool modified)
{
    QString c = caption(lastName, firstName);
    if (oldCaption.contains(Printed))
        c += Printed;
    if (modified)
        c += Changed;
    return c;
}

QString changedCaption(const QString& caption)
{
    return caption.contains(Changed) ? caption : caption + Changed;
}

bool isUntitled(const QString& noteFile)
{
    return noteFile.compare(QStringLiteral("untitled"), Qt::CaseInsensitive) == 0;
}

bool needsSaveQuestion(const QString& caption, bool modified, const QString& noteFile, bool editorEmpty)
{
    if (caption.endsWith(Changed) || modified)
        return true;
    return isUntitled(noteFile) && !editorEmpty;
}

QString saveQuestion(const QString& noteFile) { return QStringLiteral("Save changes to %1?").arg(noteFile); }

QString recentEntry(const QString& noteFile, int patientId)
{
    if (noteFile.isEmpty() || isUntitled(noteFile))
        return QString();
    return noteFile + QString::number(patientId);
}

} // namespace NoteTabRules
