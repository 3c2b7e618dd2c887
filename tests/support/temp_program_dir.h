#pragma once
// A fresh program directory for one test, with its own registry store; removed afterwards.

#include <QTemporaryDir>

class TempProgramDir {
public:
    TempProgramDir();
    ~TempProgramDir();
    QString path() const; // with trailing '/'
    QString file(const QString& name) const { return path() + name; }

private:
    QTemporaryDir m_dir;
};
