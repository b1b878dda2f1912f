#pragma once

#include <QString>

#include <stdexcept>

// A failure that ends the handler it happens in; the application shows its text to the user.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};
