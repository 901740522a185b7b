#pragma once

// Time-tag tests of the subtitle files. RegExMatch matches text against
// pattern with a TPcreRegEx of its own; a pattern that does not compile raises
// EPcreError (PcreRegEx.h). The tags are the time texts of UCommonFun in
// square brackets: [mm:ss.cc] (two or three minute digits, seconds 00-59, any
// one character before the hundredths) and [hh:mm:ss,mmm] (two or three hour
// digits, minutes and seconds 00-59).

#include <QtCore/QString>

bool RegExMatch(const QString& text, const QString& pattern);
bool IsLrcTimeTag(const QString& text);
bool IsSrtTimeTag(const QString& text);
