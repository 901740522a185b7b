#pragma once

// Phonetic keys of words: a Soundex code of a chosen length, and a
// Metaphone-like key from an ordered table of rewrite rules.

#include <QtCore/QString>

QString SoundexKey(const QString& word, int length);
QString MetaphoneKey(const QString& word);
