#include "UDictationCheck.h"

#include "UCommonFun.h"
#include "UDataOperaterFun.h"

#include <algorithm>

const TCheckTextStyleDef& CheckTextStyleDef(int style)
{
    static const TCheckTextStyleDef defs[CheckTextStyleCount] = {
        {QStringLiteral("RightSpell"), QStringLiteral("Arial"), 11, true, false, -1, -1, false},
        {QStringLiteral("WrongSpell"), QStringLiteral("Arial"), 11, true, true, 0x0000FF, -1, false},
        {QStringLiteral("CorrectSpell"), QStringLiteral("Arial"), 9, true, false, 0, -1, false},
        {QStringLiteral("OverSpell"), QStringLiteral("Arial"), 11, true, false, 0, 196604, false},
        {QStringLiteral("MissSpell"), QStringLiteral("Arial"), 11, true, false, 0, 57670, true},
        {QStringLiteral("ItemTitle"), QStringLiteral("宋体"), 11, false, false, 0, -1, false},
        {QStringLiteral("Font Style"), QStringLiteral("宋体"), 9, false, false, 0, -1, false},
        {QStringLiteral("Font Style"), QStringLiteral("宋体"), 11, true, false, 7456396, -1, false},
    };
    return defs[std::clamp(style, 0, CheckTextStyleCount - 1)];
}

namespace {

class TDocBuilder {
public:
    TCheckDocument Doc;
    void NewParagraph(const QString& text, int style)
    {
        Doc.append(TCheckParagraph{CheckParaSpaced, {TCheckRun{text, style}}});
    }
    void Add(const QString& text, int style) { Doc.last().Runs.append(TCheckRun{text, style}); }
};

QString Num(qint64 n) { return QString::number(n); }

// The words a dialog shows for an item. The checker keeps no words for an
// empty answer (every reference word counts as missing); the learner is shown
// each of them in the missing style all the same, as the checker names them.
TWordeCheckItems ShownWords(const TSingleCheckItem& item)
{
    if (!item.Words.isEmpty() || item.WordCount <= 0)
        return item.Words;
    QStringList typed;
    SplitString(item.Answer, QStringLiteral(" "), typed);
    if (!typed.isEmpty())
        return item.Words;
    QStringList reference;
    SplitString(item.Sentence, QStringLiteral(" "), reference);
    TWordeCheckItems missing;
    missing.reserve(reference.size());
    for (const QString& word : reference)
        missing.append(TWordeCheckItem{QString(), -1, NormalizeWord(word), wcMiss});
    return missing;
}

} // namespace

TCheckDocument BuildSingleCheckDocument(const TSingleCheckTotalRes& res, int rowIndex)
{
    TDocBuilder b;
    b.NewParagraph(QString(), csItemTitle);
    for (qsizetype i = 0; i < res.Items.size(); ++i) {
        if (rowIndex >= 0 && i != rowIndex)
            continue;
        const TSingleCheckItem& item = res.Items[i];
        b.NewParagraph(Num(i + 1) + QLatin1Char(' '), csNumber);
        b.Add(QStringLiteral("参照："), csItemTitle);
        b.Add(item.Sentence, csRightSpell);
        b.NewParagraph(QStringLiteral("  "), csNumber);
        b.Add(QStringLiteral("听写："), csItemTitle);
        b.Add(item.Answer, csRightSpell);
        b.NewParagraph(QStringLiteral("  "), csNumber);
        b.Add(QStringLiteral("校对："), csItemTitle);
        const TWordeCheckItems words = ShownWords(item);
        for (qsizetype j = 0; j < words.size(); ++j) {
            const TWordeCheckItem& w = words[j];
            if (j > 0)
                b.Add(QStringLiteral(" "), csRightSpell);
            switch (w.Code) {
            case wcRight: b.Add(w.AnswerWord, csRightSpell); break;
            case wcWrong:
                b.Add(w.AnswerWord, csWrongSpell);
                b.Add(w.ReferenceWord, csCorrectSpell);
                break;
            case wcOver: b.Add(w.AnswerWord, csOverSpell); break;
            case wcMiss: b.Add(w.ReferenceWord, csMissSpell); break;
            default: break;
            }
        }
        b.NewParagraph(QStringLiteral("  "), csNumber);
        b.Add(QStringLiteral("摘要："), csItemTitle);
        b.Add(QStringLiteral("正确率：（") + item.Accuracy + QStringLiteral("） "), csSummary);
        b.Add(QStringLiteral("错：（") + Num(item.WrongCount) + QStringLiteral("） "), csSummary);
        b.Add(QStringLiteral("漏：（") + Num(item.MissCount) + QStringLiteral("） "), csSummary);
        b.Add(QStringLiteral("单词：（") + Num(item.WordCount) + QStringLiteral("） "), csSummary);
        b.Add(QStringLiteral("次数：（") + Num(item.PlayCount) + QStringLiteral("）"), csSummary);
        b.NewParagraph(QString(), csItemTitle);
    }
    return b.Doc;
}

TCheckDocument BuildFreeCheckDocument(const TSingleCheckTotalRes& res, const QStringList& typedLines)
{
    TDocBuilder b;
    b.NewParagraph(QString(), csItemTitle);
    if (res.Items.isEmpty())
        return b.Doc;
    const auto wordsOf = [&](qsizetype line) {
        QStringList words;
        SplitString(typedLines[line], QStringLiteral(" "), words);
        return words;
    };
    const auto moreLines = [&](qsizetype line) { return typedLines.size() > line + 1; };
    QStringList lineWords;
    qsizetype line = 0;
    qsizetype placed = 0;
    if (moreLines(line))
        lineWords = wordsOf(line);
    for (const TWordeCheckItem& w : ShownWords(res.Items.first())) {
        if (lineWords.isEmpty() && moreLines(line)) {
            ++line;
            b.NewParagraph(QString(), csItemTitle);
            lineWords = wordsOf(line);
        }
        switch (w.Code) {
        case wcRight:
            b.Add(w.AnswerWord, csRightSpell);
            ++placed;
            break;
        case wcWrong:
            b.Add(w.AnswerWord, csWrongSpell);
            b.Add(w.ReferenceWord, csCorrectSpell);
            ++placed;
            break;
        case wcOver: b.Add(w.AnswerWord, csOverSpell); break;
        case wcMiss: b.Add(w.ReferenceWord, csMissSpell); break;
        default: break;
        }
        if (lineWords.size() == placed && moreLines(line)) {
            ++line;
            placed = 0;
            b.NewParagraph(QString(), csItemTitle);
            lineWords = wordsOf(line);
        } else {
            b.Add(QStringLiteral(" "), csRightSpell);
        }
    }
    return b.Doc;
}

TCheckHeader CheckHeaderOf(const TSingleCheckTotalRes& res)
{
    TCheckHeader h;
    h.RightCount = QStringLiteral("正确率（") + res.Accuracy + QStringLiteral("）");
    h.WordCount = QStringLiteral("单词总数（") + Num(res.WordCount) + QStringLiteral("）");
    h.WrongCount = QStringLiteral("（") + Num(res.WrongCount) + QStringLiteral("）");
    h.OverCount = QStringLiteral("（") + Num(res.OverCount) + QStringLiteral("）");
    h.MissCount = QStringLiteral("（") + Num(res.MissCount) + QStringLiteral("）");
    const QString cost = res.CostTime.leftJustified(8, QLatin1Char('0'));
    h.TimeDesc = QStringLiteral("首次听写时间：") + res.StartTime.toString(QStringLiteral("yyyy年MM月dd日 hh:mm:ss")) +
                 QStringLiteral(" 持续时间：") + cost.mid(0, 2) + QStringLiteral("小时") + cost.mid(3, 2) +
                 QStringLiteral("分") + cost.mid(6, 2) + QStringLiteral("秒");
    return h;
}

bool SaveCheckResult(const TSingleCheckTotalRes& res)
{
    TSingleDictateRecord record;
    record.Name = SystemPara.UserInfo.UserName;
    record.Accuracy = res.Accuracy;
    record.DictateTime = res.StartTime;
    record.CostTime = res.CostSeconds;
    record.KeJianName = res.FileName;
    return AddSingleDictateRecord(record);
}

namespace {

void ResetTotals(TSingleCheckTotalRes& res, const QString& fileName)
{
    res.FileName = fileName;
    res.Accuracy = QStringLiteral("0%");
    res.RightCount = res.WrongCount = res.MissCount = res.OverCount = 0;
    res.StartTime = QDateTime::currentDateTime();
    res.CostSeconds = 0;
}

void ClearCounts(TSingleCheckTotalRes& res, const QString& fileName)
{
    res.FileName = fileName;
    res.WordCount = res.RightCount = res.WrongCount = res.MissCount = res.OverCount = 0;
}

void AddCounts(TSingleCheckTotalRes& res, const TSingleCheckItem& item)
{
    res.WordCount += item.WordCount;
    res.RightCount += item.RightCount;
    res.WrongCount += item.WrongCount;
    res.MissCount += item.MissCount;
    res.OverCount += item.OverCount;
}

void TakeClock(TSingleCheckTotalRes& res, const QString& clock)
{
    qint32 ms = 0;
    try {
        ms = SrtTimeToMSec(clock + QStringLiteral(",000"));
    } catch (...) {
        ms = 0;
    }
    res.CostSeconds = ms / 1000;
    res.CostTime = clock;
    if (res.WordCount > 0)
        res.Accuracy = AccuracyText(res.RightCount, res.WordCount);
}

} // namespace

void ResetSingleTest(TSingleCheckTotalRes& res, const QString& fileName, const QStringList& sentences)
{
    ResetTotals(res, fileName);
    res.Items.clear();
    res.Items.reserve(sentences.size());
    for (const QString& s : sentences) {
        TSingleCheckItem item;
        item.Sentence = s;
        res.Items.append(item);
    }
}

void ResetFreeTest(TSingleCheckTotalRes& res, const QString& fileName, const QStringList& sentences)
{
    ResetTotals(res, fileName);
    TSingleCheckItem item;
    for (const QString& s : sentences)
        item.Sentence += QLatin1Char(' ') + s;
    res.Items = {item};
}

void CheckAllSingle(TSingleCheckTotalRes& res, const QString& fileName, const QStringList& answers,
                    const QString& clock)
{
    ClearCounts(res, fileName);
    const qsizetype n = std::min(answers.size(), res.Items.size());
    for (qsizetype r = 0; r < n; ++r) {
        TSingleCheckItem& item = res.Items[r];
        item.Answer = answers[r];
        CheckSentence(item);
        AddCounts(res, item);
    }
    TakeClock(res, clock);
}

void CheckAllFree(TSingleCheckTotalRes& res, const QString& fileName, const QStringList& lines,
                  const QString& clock)
{
    ClearCounts(res, fileName);
    if (res.Items.isEmpty())
        res.Items.append(TSingleCheckItem{});
    TSingleCheckItem& item = res.Items.first();
    item.Answer = lines.join(QLatin1Char(' '));
    CheckSentence(item);
    AddCounts(res, item);
    TakeClock(res, clock);
}

QString NextClockText(const QString& clock)
{
    qint32 ms = 0;
    try {
        ms = SrtTimeToMSec(clock + QStringLiteral(",000"));
    } catch (...) {
        ms = 0;
    }
    return MSecToSrtTime(ms + 1000).left(8);
}

QString AnswerFromEditorText(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] <= QLatin1Char(' '))
        --end;
    QString answer = text.left(end);
    answer.remove(QLatin1Char('\r'));
    answer.remove(QLatin1Char('\n'));
    return answer;
}
