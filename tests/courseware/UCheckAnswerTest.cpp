// The dictation answer checker: normalisation, accuracy rounding, hand-worked
// sentences, long free-dictation texts and the compact alignment table against
// a plain full-table alignment.

#include "UCheckAnswer.h"

#include <gtest/gtest.h>

#include <QtCore/QStringList>

#include <random>
#include <vector>

namespace {

// Every field of every result word: code:answer@index|reference.
QString Render(const TWordeCheckItems& words)
{
    QStringList parts;
    for (const TWordeCheckItem& w : words) {
        QString code;
        switch (w.Code) {
        case wcRight: code = QStringLiteral("R"); break;
        case wcWrong: code = QStringLiteral("W"); break;
        case wcOver: code = QStringLiteral("O"); break;
        case wcMiss: code = QStringLiteral("M"); break;
        default: code = QString::number(w.Code); break;
        }
        parts << QStringLiteral("%1:%2@%3|%4").arg(code, w.AnswerWord, QString::number(w.AnswerIndex), w.ReferenceWord);
    }
    return parts.join(QLatin1Char(' '));
}

TSingleCheckItem Check(const QString& sentence, const QString& answer)
{
    TSingleCheckItem item;
    item.Sentence = sentence;
    item.Answer = answer;
    CheckSentence(item);
    return item;
}

// ---------------------------------------------------------------------------

TEST(NormalizeWord, RemovesEveryMarkFoldsQuotesAndLowersAscii)
{
    const struct {
        const char* word;
        const char* expected;
    } cases[] = {
        {"Hello,", "hello"},
        {"world!", "world"},
        {"wait...", "wait"},          // every dot, not just the first
        {"wait......", "wait"},
        {"\"Yes,\"", "yes"},          // both quotes and the comma
        {"a,b,c", "abc"},
        {"Why?!", "why"},
        {"end;:", "end"},
        {"don't", "don't"},           // the apostrophe stays
        {"Don’t", "don't"},           // right single quote counts as the apostrophe
        {"‘Hi’", "'hi'"},             // both typographic single quotes as apostrophes
        {"“Yes,”", "yes"},            // typographic double quotes as the plain one
        {"“Stop!”", "stop"},
        {"你好，", "你好"},
        {"好。", "好"},
        {"甲、乙；丙！丁：戊？", "甲乙丙丁戊"},
        {"。。，，", ""},             // marks only: an empty word
        {"-", "-"},                   // a hyphen is no mark
        {"well-known", "well-known"},
        {"(yes)", "(yes)"},
        {"LONDON", "london"},
        {"Éclair", "Éclair"},         // only ASCII letters are lowered
        {"ABC123xyz", "abc123xyz"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalizeWord(QString::fromUtf8(c.word)), QString::fromUtf8(c.expected)) << c.word;
}

TEST(AccuracyText, RoundsHalvesToTheEvenNeighbourExactly)
{
    const struct {
        qint64 right;
        qint64 words;
        const char* expected;
    } cases[] = {
        {2, 3, "67%"},    {1, 3, "33%"},    {1, 2, "50%"},    {0, 5, "0%"},     {5, 5, "100%"},
        {1, 8, "12%"},    {3, 8, "38%"},    {5, 8, "62%"},    {7, 8, "88%"},    // x.5 to even
        {1, 200, "0%"},   {3, 200, "2%"},   {5, 200, "2%"},   {199, 200, "100%"},  // 99.5 -> 100
        {197, 200, "98%"},  // 98.5 -> 98
        // Halves that a floating-point quotient misses: 57.5 and 54.5.
        {23, 40, "58%"},  {109, 200, "54%"},
        {0, 0, "0%"},     {3, 0, "0%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AccuracyText(c.right, c.words), QLatin1String(c.expected)) << c.right << "/" << c.words;
}

// Sentences worked by hand: split, normalise, align (ties go up, trace from
// the end), pair the runs, mark and count.
TEST(CheckSentence, HandWorkedCases)
{
    const struct {
        const char* sentence;
        const char* answer;
        const char* words;
        int wordCount, right, wrong, miss, over;
        const char* accuracy;
    } cases[] = {
        // A wrong word at the end.
        {"I like apples.", "i like apple", "R:i@0|i R:like@1|like W:apple@2|apples", 3, 2, 1, 0, 0, "67%"},
        // Punctuation and capitals.
        {"Hello, world!", "Hello world", "R:hello@0|hello R:world@1|world", 2, 2, 0, 0, 0, "100%"},
        {"London Bridge", "LONDON bridge", "R:london@0|london R:bridge@1|bridge", 2, 2, 0, 0, 0, "100%"},
        // An extra word between aligned words.
        {"I like apples", "I really like apples", "R:i@0|i O:really@1| R:like@2|like R:apples@3|apples", 3, 3, 0, 0, 1,
         "100%"},
        // A left-out word at the end.
        {"I like apples", "I like", "R:i@0|i R:like@1|like M:@-1|apples", 3, 2, 0, 1, 0, "67%"},
        // The trace starts from the end: the later of equal words is aligned.
        {"a a", "a", "M:@-1|a R:a@0|a", 2, 1, 0, 1, 0, "50%"},
        {"the cat and the dog", "the dog", "M:@-1|the M:@-1|cat M:@-1|and R:the@0|the R:dog@1|dog", 5, 2, 0, 3, 0,
         "40%"},
        // Ties go up: "a" is aligned, not "b".
        {"a b", "b a", "O:b@0| R:a@1|a M:@-1|b", 2, 1, 0, 1, 1, "50%"},
        // Runs: more typed words than reference words, fewer, none, at the start.
        {"the cat sat", "the dog big sat", "R:the@0|the W:dog@1|cat O:big@2| R:sat@3|sat", 3, 2, 1, 0, 1, "67%"},
        {"one two three four", "one xx four", "R:one@0|one W:xx@1|two M:@-1|three R:four@2|four", 4, 2, 1, 1, 0,
         "50%"},
        {"big cat", "a small cat", "W:a@0|big O:small@1| R:cat@2|cat", 2, 1, 1, 0, 1, "50%"},
        {"alpha beta", "gamma delta epsilon", "W:gamma@0|alpha W:delta@1|beta O:epsilon@2|", 2, 0, 2, 0, 1, "0%"},
        {"alpha beta gamma", "delta", "W:delta@0|alpha M:@-1|beta M:@-1|gamma", 3, 0, 1, 2, 0, "0%"},
        // Extra words before the first and after the last aligned word.
        {"hello world", "oh hello world", "O:oh@0| R:hello@1|hello R:world@2|world", 2, 2, 0, 0, 1, "100%"},
        {"hello world", "hello world again now", "R:hello@0|hello R:world@1|world O:again@2| O:now@3|", 2, 2, 0, 0, 2,
         "100%"},
        // The apostrophe stays, so don't and dont differ.
        {"Don't go", "dont go", "W:dont@0|don't R:go@1|go", 2, 1, 1, 0, 0, "50%"},
        // A hyphen alone is a word of its own.
        {"well - done", "well done", "R:well@0|well M:@-1|- R:done@1|done", 3, 2, 0, 1, 0, "67%"},
        // A typed part of marks only is an empty word that stays.
        {"I like apples", "I , like apples", "R:i@0|i O:@1| R:like@2|like R:apples@3|apples", 3, 3, 0, 0, 1, "100%"},
        // Every mark goes, typographic quotes as plain ones.
        {"Wait... don’t go!", "wait don't go", "R:wait@0|wait R:don't@1|don't R:go@2|go", 3, 3, 0, 0, 0, "100%"},
        {"“Yes,” she said.", "\"Yes\" She said", "R:yes@0|yes R:she@1|she R:said@2|said", 3, 3, 0, 0, 0, "100%"},
        // Blanks: doubled, leading (free dictation text starts with one).
        {" Hello world.  How are you?", "hello  world how are you",
         "R:hello@0|hello R:world@1|world R:how@2|how R:are@3|are R:you@4|you", 5, 5, 0, 0, 0, "100%"},
        // Accuracy rounding through the whole check.
        {"a b c d e f g h", "a", "R:a@0|a M:@-1|b M:@-1|c M:@-1|d M:@-1|e M:@-1|f M:@-1|g M:@-1|h", 8, 1, 0, 7, 0,
         "12%"},
        {"a b c d e f g h", "a b c", "R:a@0|a R:b@1|b R:c@2|c M:@-1|d M:@-1|e M:@-1|f M:@-1|g M:@-1|h", 8, 3, 0, 5, 0,
         "38%"},
        {"a b c d e f g h", "a b c x e", "R:a@0|a R:b@1|b R:c@2|c W:x@3|d R:e@4|e M:@-1|f M:@-1|g M:@-1|h", 8, 4, 1, 3,
         0, "50%"},
        // Empty reference: only extra words.
        {"", "hi there", "O:hi@0| O:there@1|", 0, 0, 0, 0, 2, "0%"},
        // Empty answer: everything missing, no words.
        {"I like apples", "", "", 3, 0, 0, 3, 0, "0%"},
        {"I like apples", "   ", "", 3, 0, 0, 3, 0, "0%"},
        {"", "", "", 0, 0, 0, 0, 0, "0%"},
    };
    for (const auto& c : cases) {
        const TSingleCheckItem item = Check(QString::fromUtf8(c.sentence), QString::fromUtf8(c.answer));
        SCOPED_TRACE(std::string(c.sentence) + " / " + c.answer);
        EXPECT_EQ(Render(item.Words), QString::fromUtf8(c.words));
        EXPECT_EQ(item.WordCount, c.wordCount);
        EXPECT_EQ(item.RightCount, c.right);
        EXPECT_EQ(item.WrongCount, c.wrong);
        EXPECT_EQ(item.MissCount, c.miss);
        EXPECT_EQ(item.OverCount, c.over);
        EXPECT_EQ(item.Accuracy, QLatin1String(c.accuracy));
    }
}

TEST(CheckSentence, HalvesOfTheAccuracyGoToTheEvenNeighbour)
{
    // Reference of `words` distinct words, the first `right` of them typed.
    const struct {
        int right, words;
        const char* accuracy;
    } cases[] = {{1, 200, "0%"}, {3, 200, "2%"}, {5, 200, "2%"}, {23, 40, "58%"}, {109, 200, "54%"}, {7, 8, "88%"}};
    for (const auto& c : cases) {
        QStringList reference, typed;
        for (int k = 0; k < c.words; ++k) {
            reference << QStringLiteral("w%1").arg(k);
            if (k < c.right)
                typed << QStringLiteral("w%1").arg(k);
        }
        const TSingleCheckItem item = Check(reference.join(QLatin1Char(' ')), typed.join(QLatin1Char(' ')));
        EXPECT_EQ(item.RightCount, c.right);
        EXPECT_EQ(item.MissCount, c.words - c.right);
        EXPECT_EQ(item.Accuracy, QLatin1String(c.accuracy)) << c.right << "/" << c.words;
    }
}

TEST(CheckSentence, KeepsItsInputsAndPlayCountAndReplacesAnEarlierResult)
{
    TSingleCheckItem item;
    item.Sentence = QStringLiteral("I like apples.");
    item.Answer = QStringLiteral("I like pears");
    item.PlayCount = 4;
    CheckSentence(item);
    EXPECT_EQ(item.WrongCount, 1);
    item.Answer = QStringLiteral("I like apples");
    CheckSentence(item);
    EXPECT_EQ(item.Sentence, QStringLiteral("I like apples."));
    EXPECT_EQ(item.Answer, QStringLiteral("I like apples"));
    EXPECT_EQ(item.PlayCount, 4);
    EXPECT_EQ(Render(item.Words), QStringLiteral("R:i@0|i R:like@1|like R:apples@2|apples"));
    EXPECT_EQ(item.WrongCount, 0);
    EXPECT_EQ(item.Accuracy, QStringLiteral("100%"));
    item.Answer.clear();
    CheckSentence(item);
    EXPECT_TRUE(item.Words.isEmpty());
    EXPECT_EQ(item.RightCount, 0);
    EXPECT_EQ(item.MissCount, 3);
    EXPECT_EQ(item.Accuracy, QStringLiteral("0%"));
}

// A whole lesson typed freely: 4000 reference words in sentences, typed in
// lower case without marks, with 30 wrong words, 30 left out and 30 extra.
// Far more than 255 aligned words, so a byte-sized length table would fail.
TEST(CheckSentence, WholeLessonOfFreeDictation)
{
    constexpr int Words = 4000;
    constexpr int Edits = 30;
    auto isReplaced = [](int k) { return k >= 100 && (k - 100) % 130 == 0 && (k - 100) / 130 < Edits; };
    auto isDeleted = [](int k) { return k >= 150 && (k - 150) % 130 == 0 && (k - 150) / 130 < Edits; };
    auto isInsertedAfter = [](int k) { return k >= 200 && (k - 200) % 130 == 0 && (k - 200) / 130 < Edits; };

    QString sentence;  // as the free dictation screen builds it: a blank before every sentence
    QStringList typed;
    QStringList expected;
    for (int k = 0; k < Words; ++k) {
        QString word = QStringLiteral("word%1").arg(k, 4, 10, QLatin1Char('0'));
        const QString plain = word;
        if (k % 10 == 0) {
            word[0] = QLatin1Char('W');
            sentence += QLatin1Char(' ');
        }
        if (k % 10 == 9)
            word += QLatin1Char('.');
        else if (k % 7 == 3)
            word += QLatin1Char(',');
        sentence += word;
        if (k % 10 != 9)
            sentence += QLatin1Char(' ');

        if (isReplaced(k)) {
            expected << QStringLiteral("W:typo%1@%2|%3").arg(k).arg(typed.size()).arg(plain);
            typed << QStringLiteral("typo%1").arg(k);
        } else if (isDeleted(k)) {
            expected << QStringLiteral("M:@-1|%1").arg(plain);
        } else {
            expected << QStringLiteral("R:%1@%2|%1").arg(plain, QString::number(typed.size()));
            typed << plain;
        }
        if (isInsertedAfter(k)) {
            expected << QStringLiteral("O:extra%1@%2|").arg(k).arg(typed.size());
            typed << QStringLiteral("extra%1").arg(k);
        }
    }
    const TSingleCheckItem item = Check(sentence, typed.join(QLatin1Char(' ')));
    EXPECT_EQ(item.WordCount, Words);
    EXPECT_EQ(item.RightCount, Words - 2 * Edits);
    EXPECT_EQ(item.WrongCount, Edits);
    EXPECT_EQ(item.MissCount, Edits);
    EXPECT_EQ(item.OverCount, Edits);
    EXPECT_EQ(item.Accuracy, QStringLiteral("98%"));  // 3940 / 4000 = 98.5, to the even 98
    EXPECT_EQ(Render(item.Words), expected.join(QLatin1Char(' ')));
}

// ---------------------------------------------------------------------------
// The alignment against a plain implementation with the full direction table.

std::vector<TLcsPair> FullTableAlignment(const QStringList& x, const QStringList& y)
{
    const size_t m = size_t(x.size()), n = size_t(y.size());
    std::vector<quint8> dir((m + 1) * (n + 1), 0);
    std::vector<int> up(n + 1, 0), row(n + 1, 0);
    for (size_t i = 1; i <= m; ++i) {
        row[0] = 0;
        for (size_t j = 1; j <= n; ++j) {
            if (x[qsizetype(i - 1)] == y[qsizetype(j - 1)]) {
                row[j] = up[j - 1] + 1;
                dir[i * (n + 1) + j] = 1;
            } else if (row[j - 1] > up[j]) {
                row[j] = row[j - 1];
                dir[i * (n + 1) + j] = 3;
            } else {
                row[j] = up[j];
                dir[i * (n + 1) + j] = 2;
            }
        }
        std::swap(up, row);
    }
    std::vector<TLcsPair> pairs;
    size_t i = m, j = n;
    while (i > 0 && j > 0) {
        switch (dir[i * (n + 1) + j]) {
        case 1: pairs.insert(pairs.begin(), TLcsPair{int(i - 1), int(j - 1)}); --i; --j; break;
        case 2: --i; break;
        default: --j; break;
        }
    }
    return pairs;
}

QStringList RandomWords(std::mt19937& random, int count, int vocabulary)
{
    QStringList words;
    std::uniform_int_distribution<int> pick(0, vocabulary - 1);
    for (int k = 0; k < count; ++k)
        words << QStringLiteral("v%1").arg(pick(random));
    return words;
}

void ExpectSameAlignment(const QStringList& x, const QStringList& y, qsizetype budget)
{
    TLcsTable table = BuildLcsTable(x, y, budget);
    const QList<TLcsPair> pairs = TraceLcs(table);
    const std::vector<TLcsPair> expected = FullTableAlignment(x, y);
    ASSERT_EQ(size_t(pairs.size()), expected.size()) << x.size() << "x" << y.size() << " band " << table.BlockRows;
    for (size_t k = 0; k < expected.size(); ++k) {
        ASSERT_EQ(pairs[qsizetype(k)].Reference, expected[k].Reference) << "pair " << k;
        ASSERT_EQ(pairs[qsizetype(k)].Typed, expected[k].Typed) << "pair " << k;
    }
}

TEST(LcsTable, SmallBandsGiveTheFullTableAlignment)
{
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> length(0, 90);
    std::uniform_int_distribution<int> vocabulary(1, 6);  // few words: many equal words and ties
    for (int round = 0; round < 400; ++round) {
        const int voc = vocabulary(random);
        const QStringList x = RandomWords(random, length(random), voc);
        const QStringList y = RandomWords(random, length(random), voc);
        ExpectSameAlignment(x, y, 1);           // thinnest bands
        ExpectSameAlignment(x, y, 1 << 22);     // one band
        if (HasFatalFailure())
            return;
    }
}

TEST(LcsTable, FiveThousandWordsAgainstFiveThousandInLittleMemory)
{
    std::mt19937 random(7);
    const QStringList x = RandomWords(random, 5000, 40);
    QStringList y = x;
    std::uniform_int_distribution<int> position(0, 4990);
    for (int k = 0; k < 300; ++k) {  // scattered edits
        const int at = position(random);
        switch (k % 3) {
        case 0: y[at] = QStringLiteral("v%1").arg(at % 40); break;
        case 1: y.removeAt(at); break;
        default: y.insert(at, QStringLiteral("v%1").arg(k % 40)); break;
        }
    }
    ExpectSameAlignment(x, y, LcsDirectionBudget);

    const TLcsTable table = BuildLcsTable(x, y);
    // Two full byte tables would take 2 x 25 million bytes.
    EXPECT_LT(table.MemoryBytes(), qsizetype(x.size()) * y.size() / 4);
    EXPECT_GT(table.BlockRows, 1);
    EXPECT_LT(table.BlockRows, qsizetype(x.size()));
}

TEST(AlignWords, MarksTheAlignedReferenceWords)
{
    const QStringList reference = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    const QStringList typed = {QStringLiteral("x"), QStringLiteral("c"), QStringLiteral("a")};
    TWordeCheckItems work(3);
    for (int k = 0; k < 3; ++k)
        work[k].ReferenceWord = reference[k];
    AlignWords(work, reference, typed);
    // a/c tie at (3,3) goes up to (2,3), then (1,3) pairs a with typed 2.
    EXPECT_EQ(Render(work), QStringLiteral("R:a@2|a 2:@0|b 2:@0|c"));
}

}  // namespace
