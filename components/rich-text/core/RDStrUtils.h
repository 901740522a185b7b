#pragma once

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>

#include <QtCore/QByteArray>
#include <QtCore/QString>

// An item tag: a plain integer, or (when the viewer's tags are strings) a
// string owned by the item, copied with it; no string is "nil".
struct TRDTag {
    int32_t Int = 0;
    std::optional<QByteArray> Str;

    static TRDTag FromInt(int32_t value) { return TRDTag{value, std::nullopt}; }
    static TRDTag FromString(const QByteArray& text) { return TRDTag{0, text}; }
    bool IsNil() const { return !Str.has_value() && Int == 0; }
};

TRDTag CopyStringTag(const TRDTag& tag, bool tagsArePChars);
bool SameTags(const TRDTag& tag1, const TRDTag& tag2, bool tagsArePChars);

// Set of bytes.
using TRDCharSet = std::bitset<256>;
TRDCharSet MakeCharSet(const QByteArray& chars);

QByteArray ExpandTabsAnsi(const QByteArray& s, int spacesInTab);
// s holds UTF-16LE units; only whole units U+0009 are replaced.
QByteArray ExpandTabsUnicode(const QByteArray& s, int spacesInTab);
// 1-based position of ch among the first count bytes of p; 0 when absent.
int FindCharPos(const char* p, char ch, int count);
// Replaces every occurrence, searching on after each replacement.
void ReplaceAll(QByteArray& s, const QByteArray& oldText, const QByteArray& newText);
// Replaces the first occurrence again and again until none is left. When
// newText holds oldText the repetition could never end; every occurrence is
// then replaced once, as ReplaceAll does.
void ReplaceAllFromStart(QByteArray& s, const QByteArray& oldText, const QByteArray& newText);
void AppendWithSeparator(QString& s, const QString& add, const QString& separator);
void AppendWithSpace(QString& s, const QString& add);
void ReplaceCharsInSet(QByteArray& s, char newChar, const TRDCharSet& charSet);
void InsertBeforeCharsInSet(QByteArray& s, char ch, const TRDCharSet& charSet);
// The largest number Roman numerals are written for; larger ones are written
// as decimals.
constexpr int MaxRomanNumber = 3999;
QString RomanNumeral(int n);
QString AlphaNumeral(int n);
int SubSuperScriptSize(int size);
int IntSign(int n);

// An embedding application may set this; it is called from the live-spelling
// thread too and must be safe there.
using TRDUrlCheckHook = bool (*)(const QString& word);
extern TRDUrlCheckHook UrlCheckHook;
bool IsUrlText(const QString& word);
bool IsEmailText(const QString& word);
