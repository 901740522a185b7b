#pragma once
// What the sources of the editor control share and nothing outside them
// uses: the guard of its event handlers and the trimming of copied lines.

#include <utility>

#include <QtCore/QString>

#include "EventGuard.h"

// The control's event handlers run their bodies through this: nothing raised
// inside leaves a Qt event handler.
template <typename F>
void TextEditGuarded(const char* where, F&& body)
{
    GuardedEvent("text editor", where, std::forward<F>(body));
}

// Trailing blanks and tabs go when text is copied.
inline QString TrimmedRight(const QString& s)
{
    qsizetype n = s.size();
    while (n > 0 && (s[n - 1] == QLatin1Char(' ') || s[n - 1] == QLatin1Char('\t')))
        --n;
    return s.left(n);
}
