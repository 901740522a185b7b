#pragma once

#include <stdexcept>
#include <string>

#include <QtCore/QString>

// The failure of every routine and class of the rich-text suite.
class ERichDocError : public std::runtime_error {
public:
    explicit ERichDocError(const std::string& message) : std::runtime_error(message) {}
    explicit ERichDocError(const char* message) : std::runtime_error(message) {}
    explicit ERichDocError(const QString& message);
};

// Raised by the rich-text memory stream when it cannot grow.
class EStreamError : public ERichDocError {
public:
    using ERichDocError::ERichDocError;
};
