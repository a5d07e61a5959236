#pragma once
// The error a text file raises when it cannot be opened or created; its message is shown as is.

#include <QString>
#include <stdexcept>

class EFileError : public std::runtime_error {
  public:
    explicit EFileError(const QString& message) : std::runtime_error(message.toStdString()) {}
};
