#pragma once
// The program's QApplication: an exception that escapes an event handler is written to a
// crash report and shown to the user, and the program goes on instead of ending.

#include <QApplication>

class MedrovaApplication : public QApplication {
public:
    MedrovaApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
