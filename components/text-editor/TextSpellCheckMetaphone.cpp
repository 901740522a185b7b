#include "TextSpellCheckMetaphone.h"

#include <algorithm>
#include <vector>

namespace {

int SoundexDigit(QChar c)
{
    switch (c.unicode()) {
    case 'B': case 'F': case 'P': case 'V': case 'b': case 'f': case 'p': case 'v': return 1;
    case 'C': case 'G': case 'J': case 'K': case 'Q': case 'S': case 'X': case 'Z':
    case 'c': case 'g': case 'j': case 'k': case 'q': case 's': case 'x': case 'z': return 2;
    case 'D': case 'T': case 'd': case 't': return 3;
    case 'L': case 'l': return 4;
    case 'M': case 'N': case 'm': case 'n': return 5;
    case 'R': case 'r': return 6;
    case 'H': case 'W': case 'h': case 'w': return -1;
    default: return 0;
    }
}

QChar AsciiUpper(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c;
}

struct TRule {
    const char* Pattern;
    const char* Output;
    int Condition;
    const char* Context;
};

const TRule Rules[] = {
    {"AE", "E", 0, ""},  {"GN", "N", 0, ""},  {"KN", "N", 0, ""},   {"PN", "N", 0, ""},   {"WR", "R", 0, ""},
    {"PS", "S", 0, ""},  {"WH", "W", 0, ""},  {"B", "B", 6, "M"},   {"B", "B", 11, ""},   {"C", "X", 2, "H"},
    {"C", "S", 2, "I"},  {"C", "S", 2, "E"},  {"C", "S", 2, "Y"},   {"C", "", 5, "SE"},   {"C", "", 5, "SI"},
    {"C", "K", 11, ""},  {"D", "J", 2, "GE"}, {"D", "J", 2, "GY"},  {"D", "J", 2, "GI"},  {"D", "T", 11, ""},
    {"F", "F", 11, ""},  {"G", "G", 2, "G"},  {"G", "", 8, "H"},    {"G", "", 10, "N"},   {"G", "", 10, "NED"},
    {"G", "", 5, "DE"},  {"G", "J", 2, "I"},  {"G", "J", 2, "E"},   {"G", "J", 2, "Y"},   {"G", "K", 11, ""},
    {"H", "", 9, ""},    {"H", "", 1, "C"},   {"H", "", 1, "S"},    {"H", "", 1, "P"},    {"H", "", 1, "T"},
    {"H", "", 1, "G"},   {"H", "", 11, ""},   {"J", "J", 11, ""},   {"K", "", 1, "C"},    {"K", "K", 11, ""},
    {"L", "L", 11, ""},  {"M", "M", 11, ""},  {"N", "N", 11, ""},   {"P", "F", 2, "H"},   {"P", "P", 11, ""},
    {"Q", "K", 11, ""},  {"R", "R", 11, ""},  {"S", "X", 2, "H"},   {"S", "S", 11, ""},   {"T", "X", 2, "IA"},
    {"T", "X", 2, "IO"}, {"T", "", 2, "CH"},  {"T", "0", 2, "H"},   {"T", "T", 11, ""},   {"V", "F", 11, ""},
    {"W", "W", 4, ""},   {"W", "", 11, ""},   {"X", "S", 0, ""},    {"X", "KS", 11, ""},  {"Y", "Y", 4, ""},
    {"Y", "", 11, ""},   {"Z", "S", 11, ""},
};

bool IsVowel(QChar c)
{
    return c == QLatin1Char('A') || c == QLatin1Char('E') || c == QLatin1Char('I') || c == QLatin1Char('O')
        || c == QLatin1Char('U');
}

// Does the rule match w at 1-based position p?
bool Matches(const QString& w, int p, const TRule& rule)
{
    const QString pattern = QLatin1String(rule.Pattern);
    if (w.mid(p - 1, pattern.size()) != pattern)
        return false;
    const QString context = QLatin1String(rule.Context);
    const int l = static_cast<int>(context.size());
    const int length = static_cast<int>(w.size());
    const int n = length - p;  // letters after p
    auto at = [&](int pos) { return w.at(pos - 1); };  // 1-based
    switch (rule.Condition) {
    case 0: return p == 1;
    case 1: return p - 1 >= l && w.mid(p - 1 - l, l) == context;
    case 2: return n >= l && w.mid(p, l) == context;
    case 3: return n >= 1 && IsVowel(at(p + 1));
    case 4: return p >= 2 && n >= 1 && IsVowel(at(p + 1));
    case 5:
        return p >= 2 && n >= 1 && l == 2 && at(p - 1) == context.at(0) && at(p + 1) == context.at(1);
    case 6: return p != length && p - 1 >= l && w.mid(p - 1 - l, l) == context;
    case 8: return n >= l + 1 && w.mid(p, l) == context && IsVowel(at(p + l + 1));
    case 9: return p >= 2 && n >= 1 && IsVowel(at(p - 1)) && !IsVowel(at(p + 1));
    case 10: return n == l && w.mid(p) == context;
    case 11: return true;
    default: return false;
    }
}

}  // namespace

QString SoundexKey(const QString& word, int length)
{
    if (word.isEmpty())
        return {};
    QString key(AsciiUpper(word.at(0)));
    int last = SoundexDigit(word.at(0));
    for (int i = 1; i < word.size() && key.size() < length; ++i) {
        const int d = SoundexDigit(word.at(i));
        if (d > 0 && d != last)
            key += QChar(u'0' + d);
        if (d != -1)
            last = d;
    }
    if (key.size() < length)
        key += QString(length - key.size(), QLatin1Char('0'));
    return key;
}

QString MetaphoneKey(const QString& word)
{
    QString upper;
    for (QChar c : word) {
        const QChar u = AsciiUpper(c);
        if (u >= QLatin1Char('A') && u <= QLatin1Char('Z'))
            upper += u;
    }
    QString w;
    for (int i = 0; i < upper.size(); ++i)
        if (i == 0 || upper.at(i) != upper.at(i - 1) || upper.at(i) == QLatin1Char('G'))
            w += upper.at(i);

    struct TEntry {
        QString Output;
        int Position;
    };
    std::vector<TEntry> entries;
    const int ruleCount = static_cast<int>(std::size(Rules));
    for (int r = 0; r < ruleCount;) {
        bool matched = false;
        for (int p = 1; p <= w.size(); ++p)
            if (Matches(w, p, Rules[r])) {
                entries.push_back({QLatin1String(Rules[r].Output), p});
                matched = true;
            }
        int next = r + 1;
        if (matched)
            while (next < ruleCount && qstrcmp(Rules[next].Pattern, Rules[r].Pattern) == 0)
                ++next;
        r = next;
    }
    // Selection sort by position; the first of equal positions stays first.
    for (size_t i = 0; i < entries.size(); ++i) {
        size_t best = i;
        for (size_t j = i + 1; j < entries.size(); ++j)
            if (entries[j].Position < entries[best].Position)
                best = j;
        std::swap(entries[i], entries[best]);
    }
    QString key;
    bool first = false;
    for (const TEntry& e : entries) {
        key += e.Output;
        first = first || e.Position == 1;
    }
    if (!first && !w.isEmpty())
        key.prepend(w.at(0));
    return key;
}
