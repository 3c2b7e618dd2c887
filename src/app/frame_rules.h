#pragma once
// The small rules of the main window's frame, kept out of the window so that they are tested
// on their own: captions, the pick panel switch, the status-bar key texts, the grid rows the
// pick panel's height buys, the backup reminder and who the current user is at start-up.

#include <QDate>
#include <QString>

namespace FrameRules {

// "Medrova" with no note open, else "Medrova - <file-name part of the note>". A note without
// a file is "Untitled".
QString windowCaption(const QString& title, bool noteOpen, const QString& noteFile);

// The caption the pick panel item takes after it was pressed.
QString nextPickPanelCaption(const QString& caption);

QString capsLockText(bool on); // "Caps On" / "Caps Off"
QString numLockText(bool on);  // "Num ON" / "Num Off"

// Rows of 17 pixels that the pick panel has beyond its design height, split between the
// patient grid (the odd row) and the diagnosis grid. The design height is the panel's height
// with both grids at their design heights (412 pixels in the classic layout).
struct GridRows {
    int patient = 0;
    int diagnosis = 0;
};
GridRows extraGridRows(int pickPanelHeight, int designHeight = 412);
// A grid's height for its design height and its extra rows (negative rows shrink it), never
// less than a header and one row.
int gridHeight(int designHeight, int extraRows);
int smallestGridHeight(int designHeight);
// The smallest pick panel whose contents still fit once the grids have shrunk by whole rows.
int smallestPickPanelHeight(int designHeight, int patientGridHeight, int diagnosisGridHeight);

// Days from the last backup through today, both counted, never below 0.
int daysSinceBackup(const QDate& lastBackup, const QDate& today);
bool backupDue(const QDate& lastBackup, const QDate& today, int interval);

// The user recorded by User/LastUserName when that user's section exists, else "" (no user:
// user keys then read from a section with an empty name and take their defaults).
QString startupUser();

} // namespace FrameRules
