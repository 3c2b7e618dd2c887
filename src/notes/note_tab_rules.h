#pragma once
// The decisions behind the note tabs: a tab's caption from its patient, the marks it carries
// ("(P)" once printed or queued, "*" while changed), whether closing asks the save question,
// and the recent-file entry a closed note leaves.

#include <QString>

namespace NoteTabRules {

// "LastName, FirstWord": the first word of the first name only ("Doe, Mary" for Mary Ann).
QString caption(const QString& lastName, const QString& firstName);
// The caption rebuilt for the current patient, keeping "(P)" and adding "*" for a changed note.
QString rebuiltCaption(const QString& lastName, const QString& firstName, const QString& oldCaption,
                       bool modified);
// The caption after a change by the user; unchanged when it already carries "*".
QString changedCaption(const QString& caption);

// A note file name that is the placeholder of a note never saved ("Untitled", any case).
bool isUntitled(const QString& noteFile);

// No question for a tab whose caption has no trailing "*", whose editor is unmodified and
// which either has a file of its own or holds no text.
bool needsSaveQuestion(const QString& caption, bool modified, const QString& noteFile, bool editorEmpty);
QString saveQuestion(const QString& noteFile);

// The Reopen entry for a closed note: its file name immediately followed by the patient ID;
// empty for a note that has no file.
QString recentEntry(const QString& noteFile, int patientId);

} // namespace NoteTabRules
