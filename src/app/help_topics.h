#pragma once
// The help file "Medrova.HLP" in the program directory: an HTML document with one anchor per
// context number ("topic-<n>"), and the context numbers the windows open it at.

#include <QString>

namespace HelpContext {
constexpr int WritingMacros = 2;    // diagnosis buttons, macro editing area
constexpr int NoteArea = 3;         // toolbar, note tabs, editors, status bar, diagnosis grid
constexpr int AddPatient = 4;
constexpr int PatientFinder = 5;
constexpr int PatientGrid = 10;     // grid, navigator, date of birth, sex, Patient Data menu
constexpr int Contents = 100;       // "Show &Help" and the Help menu
constexpr int MacroFunctions = 101;
constexpr int SpellCheck = 110;
constexpr int PickPanel = 200;
constexpr int SearchMacros = 201;
constexpr int ProgramHints = 202;
constexpr int PatientHints = 203;
constexpr int PrintQueue = 204;
constexpr int Backup = 300;
constexpr int Restore = 301;
constexpr int ImportMacros = 302;
constexpr int ProgramFiles = 303;
constexpr int UserOptions = 400;
constexpr int MacroFiles = 401;
constexpr int Disclaimers = 1001;
} // namespace HelpContext

namespace HelpFile {
QString path();                  // program directory + "Medrova.HLP"
QString anchor(int context);     // "topic-<n>"
// True when the document text has the topic's anchor.
bool hasTopic(const QString& html, int context);
} // namespace HelpFile
