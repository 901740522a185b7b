#include "UCheckAnswer.h"

#include "UCommonFun.h"

#include <QtCore/QHash>

#include <algorithm>
#include <cmath>

namespace {

// Directions of the alignment table.
constexpr quint8 DirDiagonal = 1;
constexpr quint8 DirUp = 2;
constexpr quint8 DirLeft = 3;

// Fills row cur (columns 0..cols) of Len from the row prev above it for the
// reference word xi; with StoreDirections also the directions of columns
// 1..cols into dir[0..cols-1].
template <bool StoreDirections>
void FillRow(qint32 xi, const qint32* y, const quint32* prev, quint32* cur, qsizetype cols, quint8* dir)
{
    cur[0] = 0;
    for (qsizetype c = 1; c <= cols; ++c) {
        quint8 d;
        if (xi == y[c - 1]) {
            cur[c] = prev[c - 1] + 1;
            d = DirDiagonal;
        } else if (cur[c - 1] > prev[c]) {
            cur[c] = cur[c - 1];
            d = DirLeft;
        } else {
            cur[c] = prev[c];
            d = DirUp;
        }
        if constexpr (StoreDirections)
            dir[c - 1] = d;
    }
}

// The marks NormalizeWord removes, in the order it removes them.
const QStringList& NormalizeMarks()
{
    static const QStringList marks = {
        QStringLiteral(","),  QStringLiteral("."),  QStringLiteral(";"),  QStringLiteral("!"),
        QStringLiteral(":"),  QStringLiteral("......"), QStringLiteral("?"), QStringLiteral("‘"),
        QStringLiteral("\""), QStringLiteral("，"), QStringLiteral("。"), QStringLiteral("；"),
        QStringLiteral("！"), QStringLiteral("："), QStringLiteral("？"), QStringLiteral("、"),
        QStringLiteral("“"), QStringLiteral("”")};
    return marks;
}

TWordeCheckItem OverItem(const QStringList& typed, qint32 index)
{
    TWordeCheckItem item;
    item.AnswerWord = typed.at(index);
    item.AnswerIndex = index;
    item.Code = wcOver;
    return item;
}

}  // namespace

QString NormalizeWord(const QString& word)
{
    QString result = word;
    // Typographic quotes count as their plain forms.
    result.replace(QChar(0x2019), QLatin1Char('\''));  // ’
    result.replace(QChar(0x2018), QLatin1Char('\''));  // ‘
    result.replace(QChar(0x201C), QLatin1Char('"'));   // “
    result.replace(QChar(0x201D), QLatin1Char('"'));   // ”
    for (const QString& mark : NormalizeMarks())
        result.remove(mark);
    for (QChar& ch : result) {
        const char16_t u = ch.unicode();
        if (u >= u'A' && u <= u'Z')
            ch = QChar(char16_t(u + (u'a' - u'A')));
    }
    return result;
}

QString AccuracyText(qint64 rightCount, qint64 wordCount)
{
    if (wordCount <= 0)
        return QStringLiteral("0%");
    const qint64 scaled = rightCount * 100;
    qint64 quotient = scaled / wordCount;
    const qint64 remainder = scaled % wordCount;
    if (remainder * 2 > wordCount || (remainder * 2 == wordCount && (quotient % 2) != 0))
        ++quotient;
    return QString::number(quotient) + QLatin1Char('%');
}

qsizetype TLcsTable::MemoryBytes() const
{
    return qsizetype(Checkpoints.capacity() * sizeof(quint32) + Directions.capacity() * sizeof(quint8));
}

TLcsTable BuildLcsTable(const QStringList& reference, const QStringList& typed, qsizetype directionBudget)
{
    TLcsTable table;
    QHash<QString, qint32> numbers;
    numbers.reserve(reference.size());
    table.X.reserve(size_t(reference.size()));
    for (const QString& word : reference) {
        auto it = numbers.constFind(word);
        if (it == numbers.constEnd())
            it = numbers.insert(word, qint32(numbers.size()));
        table.X.push_back(it.value());
    }
    table.Y.reserve(size_t(typed.size()));
    for (const QString& word : typed)
        table.Y.push_back(numbers.value(word, -1));

    const qsizetype m = qsizetype(table.X.size());
    const qsizetype n = qsizetype(table.Y.size());
    if (m == 0 || n == 0)
        return table;

    // Band height: as many rows as the direction budget allows, but at least
    // about 2 x sqrt(m), which balances stored rows against band size.
    const qsizetype byBudget = std::max<qsizetype>(1, directionBudget / n);
    const qsizetype bySqrt = qsizetype(std::ceil(2.0 * std::sqrt(double(m))));
    table.BlockRows = std::clamp<qsizetype>(std::max(byBudget, bySqrt), 1, m);
    const qsizetype rows = table.BlockRows;
    const qsizetype lastBase = ((m - 1) / rows) * rows;  // row below the last band

    table.Checkpoints.assign(size_t((lastBase / rows + 1) * (n + 1)), 0u);
    std::vector<quint32> prev(size_t(n + 1), 0u);
    std::vector<quint32> cur(size_t(n + 1), 0u);
    for (qsizetype i = 1; i <= lastBase; ++i) {
        FillRow<false>(table.X[size_t(i - 1)], table.Y.data(), prev.data(), cur.data(), n, nullptr);
        if (i % rows == 0)
            std::copy(cur.begin(), cur.end(), table.Checkpoints.begin() + (i / rows) * (n + 1));
        prev.swap(cur);
    }
    table.Directions.assign(size_t(rows * n), 0);
    return table;
}

QList<TLcsPair> TraceLcs(TLcsTable& table)
{
    QList<TLcsPair> pairs;
    const qsizetype m = qsizetype(table.X.size());
    const qsizetype n = qsizetype(table.Y.size());
    if (m == 0 || n == 0)
        return pairs;
    const qsizetype rows = table.BlockRows;
    std::vector<quint32> prev(size_t(n + 1));
    std::vector<quint32> cur(size_t(n + 1));

    // The walk goes back from (m, n); a band's directions are recomputed
    // from the stored row below it, over the columns the walk can still reach.
    qsizetype i = m;
    qsizetype j = n;
    while (i > 0 && j > 0) {
        const qsizetype base = ((i - 1) / rows) * rows;
        const qsizetype width = j;
        const quint32* stored = table.Checkpoints.data() + (base / rows) * (n + 1);
        std::copy(stored, stored + width + 1, prev.begin());
        for (qsizetype r = base + 1; r <= i; ++r) {
            FillRow<true>(table.X[size_t(r - 1)], table.Y.data(), prev.data(), cur.data(), width,
                          table.Directions.data() + (r - base - 1) * width);
            prev.swap(cur);
        }
        while (i > base && j > 0) {
            switch (table.Directions[size_t((i - base - 1) * width + (j - 1))]) {
            case DirDiagonal:
                pairs.append(TLcsPair{qint32(i - 1), qint32(j - 1)});
                --i;
                --j;
                break;
            case DirUp:
                --i;
                break;
            default:
                --j;
                break;
            }
        }
    }
    std::reverse(pairs.begin(), pairs.end());
    return pairs;
}

void AlignWords(TWordeCheckItems& work, const QStringList& reference, const QStringList& typed)
{
    TLcsTable table = BuildLcsTable(reference, typed);
    for (const TLcsPair& pair : TraceLcs(table)) {
        TWordeCheckItem& item = work[pair.Reference];
        item.AnswerWord = typed.at(pair.Typed);
        item.AnswerIndex = pair.Typed;
        item.Code = wcRight;
    }
}

void CheckSentence(TSingleCheckItem& item)
{
    QStringList reference;
    QStringList typed;
    SplitString(item.Sentence, QStringLiteral(" "), reference);
    SplitString(item.Answer, QStringLiteral(" "), typed);
    for (QString& word : reference)
        word = NormalizeWord(word);
    for (QString& word : typed)
        word = NormalizeWord(word);

    item.Words.clear();
    item.Accuracy = QStringLiteral("0%");
    item.RightCount = 0;
    item.WrongCount = 0;
    item.MissCount = 0;
    item.OverCount = 0;
    item.WordCount = qint32(reference.size());
    if (typed.isEmpty()) {
        item.MissCount = item.WordCount;
        return;
    }

    const qint32 m = qint32(reference.size());
    const qint32 n = qint32(typed.size());
    TWordeCheckItems work(m);
    for (qint32 k = 0; k < m; ++k)
        work[k].ReferenceWord = reference.at(k);
    AlignWords(work, reference, typed);

    TWordeCheckItems& words = item.Words;
    words.reserve(std::max(m, n));
    qint32 highest = -1;  // highest typed position placed in words
    bool previousAligned = false;
    bool first = true;
    qint32 k = 0;
    while (k < m) {
        if (work[k].Code == wcRight) {
            // Typed words between the previous aligned word and this one; a run
            // before it has taken them already.
            qint32 from = -1;
            if (first)
                from = 0;
            else if (previousAligned)
                from = work[k - 1].AnswerIndex + 1;
            if (from >= 0)
                for (qint32 g = from; g < work[k].AnswerIndex; ++g)
                    words.append(OverItem(typed, g));
            words.append(work[k]);
            highest = std::max(highest, work[k].AnswerIndex);
            previousAligned = true;
            ++k;
        } else {
            qint32 last = k;
            while (last + 1 < m && work[last + 1].Code != wcRight)
                ++last;
            const qint32 runLength = last - k + 1;
            const qint32 lo = k > 0 ? work[k - 1].AnswerIndex + 1 : 0;
            const qint32 hi = last < m - 1 ? work[last + 1].AnswerIndex - 1 : n - 1;
            const qint32 available = std::max(0, hi - lo + 1);
            const qint32 paired = std::min(runLength, available);
            qint32 g = lo;
            for (qint32 r = 0; r < runLength; ++r) {
                TWordeCheckItem result;
                result.ReferenceWord = work[k + r].ReferenceWord;
                if (r < paired) {
                    result.AnswerWord = typed.at(g);
                    result.AnswerIndex = g;
                    result.Code = wcWrong;
                    highest = std::max(highest, g);
                    ++g;
                } else {
                    result.AnswerIndex = -1;
                    result.Code = wcMiss;
                }
                words.append(result);
            }
            for (; g <= hi; ++g) {
                words.append(OverItem(typed, g));
                highest = std::max(highest, g);
            }
            previousAligned = false;
            k = last + 1;
        }
        first = false;
    }
    for (qint32 g = highest + 1; g < n; ++g)
        words.append(OverItem(typed, g));

    for (const TWordeCheckItem& word : words) {
        switch (word.Code) {
        case wcRight: ++item.RightCount; break;
        case wcWrong: ++item.WrongCount; break;
        case wcMiss: ++item.MissCount; break;
        case wcOver: ++item.OverCount; break;
        default: break;
        }
    }
    if (item.WordCount > 0)
        item.Accuracy = AccuracyText(item.RightCount, item.WordCount);
}
