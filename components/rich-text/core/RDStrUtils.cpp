#include "core/RDStrUtils.h"

TRDUrlCheckHook UrlCheckHook = nullptr;

TRDTag CopyStringTag(const TRDTag& tag, bool tagsArePChars)
{
    if (!tagsArePChars)
        return TRDTag::FromInt(tag.Int);
    TRDTag copy;
    copy.Str = tag.Str;
    return copy;
}

bool SameTags(const TRDTag& tag1, const TRDTag& tag2, bool tagsArePChars)
{
    if (!tagsArePChars)
        return tag1.Int == tag2.Int;
    if (!tag1.Str.has_value() || !tag2.Str.has_value())
        return tag1.Str.has_value() == tag2.Str.has_value();
    return *tag1.Str == *tag2.Str;
}

TRDCharSet MakeCharSet(const QByteArray& chars)
{
    TRDCharSet set;
    for (char c : chars)
        set.set(static_cast<unsigned char>(c));
    return set;
}

QByteArray ExpandTabsAnsi(const QByteArray& s, int spacesInTab)
{
    if (!s.contains('\t'))
        return s;
    QByteArray result = s;
    result.replace("\t", QByteArray(std::max(spacesInTab, 0), ' '));
    return result;
}

QByteArray ExpandTabsUnicode(const QByteArray& s, int spacesInTab)
{
    QByteArray result;
    result.reserve(s.size());
    QByteArray spaces;
    for (int i = 0; i < spacesInTab; ++i)
        spaces.append(" \0", 2);
    qsizetype i = 0;
    for (; i + 1 < s.size(); i += 2) {
        if (s[i] == '\t' && s[i + 1] == '\0')
            result += spaces;
        else
            result.append(s.constData() + i, 2);
    }
    if (i < s.size())
        result += s[i];
    return result;
}

int FindCharPos(const char* p, char ch, int count)
{
    if (!p)
        return 0;
    for (int i = 0; i < count; ++i)
        if (p[i] == ch)
            return i + 1;
    return 0;
}

void ReplaceAll(QByteArray& s, const QByteArray& oldText, const QByteArray& newText)
{
    if (oldText.isEmpty())
        return;
    s.replace(oldText, newText);
}

void ReplaceAllFromStart(QByteArray& s, const QByteArray& oldText, const QByteArray& newText)
{
    if (oldText.isEmpty())
        return;
    if (newText.contains(oldText)) {
        ReplaceAll(s, oldText, newText);
        return;
    }
    // Text before the occurrence just replaced, less than one searched text
    // long, held no occurrence; the search restarts where a new one may begin.
    qsizetype pos = s.indexOf(oldText);
    while (pos >= 0) {
        s.replace(pos, oldText.size(), newText);
        pos = s.indexOf(oldText, std::max<qsizetype>(0, pos - oldText.size() + 1));
    }
}

void AppendWithSeparator(QString& s, const QString& add, const QString& separator)
{
    if (s.isEmpty())
        s = add;
    else if (!add.isEmpty())
        s += separator + add;
}

void AppendWithSpace(QString& s, const QString& add)
{
    AppendWithSeparator(s, add, QStringLiteral(" "));
}

void ReplaceCharsInSet(QByteArray& s, char newChar, const TRDCharSet& charSet)
{
    for (char& c : s)
        if (charSet.test(static_cast<unsigned char>(c)))
            c = newChar;
}

void InsertBeforeCharsInSet(QByteArray& s, char ch, const TRDCharSet& charSet)
{
    QByteArray result;
    result.reserve(s.size());
    for (char c : s) {
        if (charSet.test(static_cast<unsigned char>(c)))
            result += ch;
        result += c;
    }
    s = result;
}

QString RomanNumeral(int n)
{
    if (n <= 0)
        return QStringLiteral("?");
    static const struct {
        int value;
        const char* letters;
    } table[] = {{1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
                 {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    QString result;
    for (const auto& entry : table)
        while (n >= entry.value) {
            result += QLatin1String(entry.letters);
            n -= entry.value;
        }
    return result;
}

QString AlphaNumeral(int n)
{
    QString result;
    while (n > 0) {
        result.prepend(QChar(u'A' + (n - 1) % 26));
        n = (n - 1) / 26;
    }
    return result;
}

int SubSuperScriptSize(int size)
{
    // In 64 bits: a style's size may be any integer. The result lies within
    // two thirds of the size and one, so it fits.
    const int64_t s = size;
    int64_t result = 0;
    if (s % 3 == 0)
        result = 2 * (s / 3);
    else if ((s + 1) % 3 == 0)
        result = 2 * ((s + 1) / 3) - 1;
    else
        result = 2 * ((s + 2) / 3) - 1;
    return static_cast<int>(result);
}

int IntSign(int n)
{
    return n > 0 ? 1 : (n < 0 ? -1 : 0);
}

bool IsUrlText(const QString& word)
{
    if (UrlCheckHook && UrlCheckHook(word))
        return true;
    static const char* const prefixes[] = {"http://", "ftp://", "file://", "gopher://", "mailto:", "https://",
                                           "news:",   "telnet:", "wais:",  "www.",      "ftp."};
    const QString lower = word.toLower();
    for (const char* prefix : prefixes) {
        const QLatin1String p(prefix);
        if (p.size() < lower.size() && lower.startsWith(p))
            return true;
    }
    return false;
}

bool IsEmailText(const QString& word)
{
    const qsizetype at = word.indexOf(u'@');
    if (at < 0)
        return false;
    return word.lastIndexOf(u'.') > at;
}
