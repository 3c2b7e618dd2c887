#pragma once
// The failure every core operation raises: it carries the message text the user sees.
// The window that started the operation decides how it is shown and what survives.

#include <QByteArray>
#include <QString>
#include <exception>

class MedrovaError : public std::exception {
public:
    explicit MedrovaError(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};
