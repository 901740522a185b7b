#include "kpMatch.h"

#include <bitset>

namespace {
// The class set of a "*<...>" and its negation, shared by one whole match.
struct TMatchState {
    std::bitset<256> Set;
    bool Negate = false;
    bool InSet(QChar c) const
    {
        const bool in = c.unicode() < 256 && Set.test(c.unicode());
        return Negate ? !in : in;
    }
};

int DoMatch(QStringView p, QStringView t, TMatchState& st);

int DoAfterStar(QStringView p, QStringView t, TMatchState& st)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < p.size() && j < t.size() && (p[i] == QLatin1Char('*') || p[i] == QLatin1Char('?'))) {
        if (p[i] == QLatin1Char('?'))
            ++j;
        ++i;
    }
    if (j >= t.size())
        return MATCH_ABORT;
    if (i >= p.size() && st.Set.none())
        return MATCH_VALID;
    p = p.mid(i);
    int result = 0;
    bool tried = false;
    do {
        result = 0;
        if (!p.isEmpty() && (p[0] == t[j] || p[0] == QLatin1Char('<'))) {
            result = DoMatch(p, t.mid(j), st);
            tried = true;
        }
        if (result != MATCH_VALID && st.Set.any() && !st.InSet(t[j]))
            return MATCH_ABORT;
        ++j;
    } while (result != MATCH_VALID && j < t.size());
    if (result == MATCH_VALID)
        return MATCH_VALID;
    if (p.isEmpty())
        return MATCH_VALID;  // pattern and text used up together
    return tried ? result : MATCH_ABORT;
}

// Builds the class set of a "*<...>"; i stands behind the "<" and ends behind the ">".
void BuildStarSet(QStringView p, qsizetype& i, TMatchState& st)
{
    st.Set.reset();
    st.Negate = false;
    if (i < p.size() && (p[i] == QLatin1Char('!') || p[i] == QLatin1Char('^'))) {
        st.Negate = true;
        ++i;
    }
    std::bitset<256> set;
    while (i < p.size() && p[i] != QLatin1Char('>')) {
        const char16_t x = p[i].unicode();
        if (i + 2 < p.size() && p[i + 1] == QLatin1Char('-') && p[i + 2] != QLatin1Char('>')) {
            const char16_t y = p[i + 2].unicode();
            for (char16_t c = x; c <= y && c < 256; ++c)
                set.set(c);
            i += 3;
        } else {
            if (x < 256)
                set.set(x);
            ++i;
        }
    }
    if (i >= p.size())
        return;  // never closed: the set stays empty
    ++i;
    st.Set = set;
}

int DoMatch(QStringView p, QStringView t, TMatchState& st)
{
    if (p == u"*")
        return MATCH_VALID;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < p.size()) {
        if (j >= t.size())
            return (p[i] == QLatin1Char('*') && i == p.size() - 1) ? MATCH_VALID : MATCH_ABORT;
        const QChar c = p[i];
        if (c == QLatin1Char('*')) {
            if (i + 1 < p.size() && p[i + 1] == QLatin1Char('<')) {
                i += 2;
                BuildStarSet(p, i, st);
                if (st.Set.none())
                    return MATCH_ABORT;
            } else {
                st.Set.reset();
                st.Negate = false;
            }
            return DoAfterStar(p.mid(i), t.mid(j), st);
        }
        if (c == QLatin1Char('<')) {
            ++i;
            if (i >= p.size())
                return MATCH_PATTERN;
            bool negate = false;
            if (p[i] == QLatin1Char('!') || p[i] == QLatin1Char('^')) {
                negate = true;
                ++i;
                if (i >= p.size())
                    return MATCH_PATTERN;
            }
            if (p[i] == QLatin1Char('>'))
                return MATCH_PATTERN;
            bool matched = false;
            const char16_t tc = t[j].unicode();
            while (p[i] != QLatin1Char('>')) {
                const char16_t x = p[i].unicode();
                if (i + 1 < p.size() && p[i + 1] == QLatin1Char('-')) {
                    if (i + 2 >= p.size() || p[i + 2] == QLatin1Char('>'))
                        return MATCH_PATTERN;
                    matched = x <= tc && tc <= p[i + 2].unicode();
                    i += 3;
                } else {
                    matched = x == tc;
                    ++i;
                }
                if (i >= p.size())
                    return MATCH_PATTERN;
                if (matched) {
                    while (i < p.size() && p[i] != QLatin1Char('>'))
                        ++i;
                    if (i >= p.size())
                        return MATCH_PATTERN;
                    break;
                }
            }
            if (matched == negate)
                return MATCH_RANGE;
        } else if (c != QLatin1Char('?') && c != t[j]) {
            return MATCH_LITERAL;
        }
        ++i;
        ++j;
    }
    return j >= t.size() ? MATCH_VALID : MATCH_END;
}
}  // namespace

int Match(const QString& pattern, const QString& text)
{
    TMatchState st;
    const QString p = pattern.toLower();
    const QString t = text.toLower();
    return DoMatch(p, t, st);
}

int MatchAfterStar(const QString& pattern, const QString& text)
{
    TMatchState st;
    const QString p = pattern.toLower();
    const QString t = text.toLower();
    return DoAfterStar(p, t, st);
}

bool IsMatch(const QString& pattern, const QString& text) { return Match(pattern, text) == MATCH_VALID; }

bool HasWildcards(const QString& text)
{
    for (QChar c : text)
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('|'))
            return true;
    return false;
}
