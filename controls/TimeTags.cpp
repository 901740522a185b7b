#include "TimeTags.h"

#include "PcreRegEx.h"

bool RegExMatch(const QString& text, const QString& pattern)
{
    TPcreRegEx regEx;
    regEx.SetRegEx(pattern);
    regEx.SetSubject(text);
    return regEx.Match();
}

bool IsLrcTimeTag(const QString& text)
{
    return RegExMatch(text, QStringLiteral(R"(^\[[0-9]{2,3}:[0-5][0-9].[0-9][0-9]\]$)"));
}

bool IsSrtTimeTag(const QString& text)
{
    return RegExMatch(text, QStringLiteral(R"(^\[[0-9]{2,3}:[0-5][0-9]:[0-5][0-9],[0-9][0-9][0-9]\]$)"));
}
