#pragma once

#include <QtCore/QString>

#include "IniFile.h"
#include "styles/RDListStyles.h"
#include "styles/RDParaStyles.h"
#include "styles/RDTextStyles.h"

// Styles and the objects they own in one section of an ini file. Keys come
// from a pattern with one "%s" for the key name (formatted by the one data
// formatter, so a pattern from data cannot do harm); values equal to their
// default are left out, Booleans are "Yes" and "No".
void SaveToIni(const TCustomRDFontInfo& style, TIniFile& ini, const QString& section, const QString& pattern);
// Without a "Jump" key the style takes defJump and defJumpCursor.
void LoadFromIni(TCustomRDFontInfo& style, const TIniFile& ini, const QString& section, const QString& pattern,
                 bool defJump, int defJumpCursor);
void SaveToIni(const TCustomRDParaInfo& style, TIniFile& ini, const QString& section, const QString& pattern);
void LoadFromIni(TCustomRDParaInfo& style, const TIniFile& ini, const QString& section, const QString& pattern);
void SaveToIni(const TRDListInfo& style, TIniFile& ini, const QString& section, const QString& pattern);
void LoadFromIni(TRDListInfo& style, const TIniFile& ini, const QString& section, const QString& pattern);

void SaveToIni(const TRDListLevel& level, TIniFile& ini, const QString& section, const QString& pattern);
void LoadFromIni(TRDListLevel& level, const TIniFile& ini, const QString& section, const QString& pattern);
void SaveToIni(const TRDBorder& border, TIniFile& ini, const QString& section, const QString& pattern);
void LoadFromIni(TRDBorder& border, const TIniFile& ini, const QString& section, const QString& pattern);
void SaveToIni(const TRDBackgroundRect& back, TIniFile& ini, const QString& section, const QString& pattern);
void LoadFromIni(TRDBackgroundRect& back, const TIniFile& ini, const QString& section, const QString& pattern);
void SaveToIni(const TRDRect& rect, TIniFile& ini, const QString& section, const QString& pattern);
void LoadFromIni(TRDRect& rect, const TIniFile& ini, const QString& section, const QString& pattern);
void SaveToIni(const TRDBooleanRect& rect, TIniFile& ini, const QString& section, const QString& pattern);
void LoadFromIni(TRDBooleanRect& rect, const TIniFile& ini, const QString& section, const QString& pattern);
void SaveToIni(const TRDTabInfos& tabs, TIniFile& ini, const QString& section, const QString& pattern);
void LoadFromIni(TRDTabInfos& tabs, const TIniFile& ini, const QString& section, const QString& pattern);

// The marker font as one text: name, height, style letters (BIUS), pitch,
// colour and charset; reading a number that does not parse raises ERichDocError.
QString MarkerFontToString(const TRDMarkerFont& font);
void MarkerFontFromString(TRDMarkerFont& font, const QString& text);
