#pragma once

#include <QString>
#include <stdexcept>

// An error that ends the current operation and carries the text the user sees.
// Engine and processing code throw it; the windows and the headless tool catch it
// at the edge of a command and show the text as it stands.
class KelvarinError : public std::runtime_error
{
public:
    explicit KelvarinError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}

    const QString &message() const { return m_message; }

private:
    QString m_message;
};
