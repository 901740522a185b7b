#pragma once

// Wildcard matching of file names and paths: "*", "?" and character classes
// between "<" and ">" (lists, ranges "a-z", a leading "!" or "^" negates;
// "*<...>" matches a run of characters of that class only). Letter case is
// ignored; "\" is an ordinary character.

#include <QtCore/QString>

// Result codes of Match.
enum : int {
    MATCH_VALID = 1,
    MATCH_END = 2,       // pattern ended before the text
    MATCH_ABORT = 3,     // text ended before the pattern, or a star run met a forbidden character
    MATCH_RANGE = 4,     // class failure
    MATCH_LITERAL = 5,   // literal failure
    MATCH_PATTERN = 6,   // malformed pattern
};

bool IsMatch(const QString& pattern, const QString& text);
int Match(const QString& pattern, const QString& text);
int MatchAfterStar(const QString& pattern, const QString& text);
bool HasWildcards(const QString& text);
