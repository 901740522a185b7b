#pragma once

// The program's handler of exceptions that no caller can take: a component
// that catches one where it arose (a window message, a worker thread, a
// driver notification) hands its text here.

#include <QtCore/QString>

#include <functional>

// Passes the text to the installed handler on the GUI thread (the application
// object's thread): called there, at once; called on another thread, the
// text is posted to the GUI thread and the call returns at once. Without
// handler the text is written as a warning.
void HandleApplicationException(const QString& message);

// Installs the handler; an empty function restores the default. Thread-safe.
void SetApplicationExceptionHandler(std::function<void(const QString& message)> handler);
