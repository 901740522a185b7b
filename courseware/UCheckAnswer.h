#pragma once

// The dictation answer checker: compares a typed answer with the reference
// sentence word by word. Both texts are split at blanks, every word is
// normalised, the typed words are aligned with the reference words by a longest
// common subsequence of whole words, the words left over between aligned words
// are paired, and every result word gets a mark. The single-sentence and free
// dictation screens check every sentence on submission and hand the results to
// their check dialogs.

#include <QtCore/QDateTime>
#include <QtCore/QList>
#include <QtCore/QString>
#include <QtCore/QStringList>

#include <cstdint>
#include <vector>

// The mark of one result word (one byte in each word item).
enum TWordCheckCode : uint8_t {
    wcRight = 0,      // the typed word equals the reference word
    wcWrong = 1,      // a typed word stands in the place of a different reference word
    wcUnmatched = 2,  // working state only: a reference word not yet aligned
    wcOver = 3,       // a typed word with no reference word (extra word)
    wcMiss = 4,       // a reference word with no typed word (left out)
};

// One result word.
struct TWordeCheckItem {
    QString AnswerWord;         // the typed word, normalised; empty for wcMiss
    qint32 AnswerIndex = 0;     // position of the typed word in the answer (from 0); -1 for wcMiss
    QString ReferenceWord;      // the reference word, normalised; empty for wcOver
    uint8_t Code = wcUnmatched; // a TWordCheckCode
};
using TWordeCheckItems = QList<TWordeCheckItem>;

// One checked sentence.
struct TSingleCheckItem {
    QString Sentence;  // the reference sentence (the English line of the subtitle)
    QString Answer;    // the typed answer
    QString Accuracy;  // "n%": RightCount / WordCount x 100, rounded, halves to even
    qint32 WordCount = 0;  // number of reference words
    qint32 WrongCount = 0;
    qint32 MissCount = 0;
    qint32 RightCount = 0;
    qint32 OverCount = 0;
    qint32 PlayCount = 0;  // kept by the screens; the checker leaves it alone
    TWordeCheckItems Words;  // the result words in display order
};
using TSingleCheckItems = QList<TSingleCheckItem>;

// The totals of one dictation test, filled and read by the dictation screens
// and their check dialogs.
struct TSingleCheckTotalRes {
    QString FileName;  // the media file's name
    QString Accuracy;  // "n%" over all sentences
    qint32 WordCount = 0;
    qint32 RightCount = 0;
    qint32 WrongCount = 0;
    qint32 MissCount = 0;
    qint32 OverCount = 0;
    QDateTime StartTime;     // when the test started
    qint32 CostSeconds = 0;  // seconds on the screen's clock at submission
    QString CostTime;        // the screen's clock text hh:mm:ss at submission
    TSingleCheckItems Items; // one item per sentence
};

// Checks Item.Answer against Item.Sentence: writes Accuracy, WordCount, the four
// counts and Words; Sentence, Answer and PlayCount stay as they are. Raises
// nothing; an empty reference gives WordCount 0, "0%" and only wcOver words, an
// empty answer MissCount = WordCount, no words and "0%".
void CheckSentence(TSingleCheckItem& item);

// The word as the checker compares it: the typographic quotes ’ ‘ become the
// apostrophe ' and “ ” the double quote; then every occurrence of the marks
// , . ; ! : ...... ? ‘ " ， 。 ； ！ ： ？ 、 “ ” is removed and the ASCII
// letters are lower-cased. The apostrophe stays (don't, don’t -> don't); a
// word of marks only becomes empty.
QString NormalizeWord(const QString& word);

// The accuracy text: round(rightCount / wordCount x 100) with halves going to
// the even neighbour, followed by "%", computed exactly in integers; "0%" when
// wordCount is 0 or less. The screens use it for their test totals too.
QString AccuracyText(qint64 rightCount, qint64 wordCount);

// The alignment of the typed words with the reference words.
//
// It is the longest common subsequence of a length table Len and a direction
// table Dir over (reference words + 1) x (typed words + 1): equal words go
// diagonally (Len[i-1][j-1] + 1), otherwise left when Len[i][j-1] >
// Len[i-1][j], else up (ties go up); the trace runs back from the last cell.
// The table is kept compact, so long free-dictation texts fit: Len in 32-bit
// counts, of which only every BlockRows-th row is stored, and the directions
// of one band of BlockRows rows at a time, recomputed from the stored row below
// the band while the trace walks up through it. The result is that of the full
// tables.
struct TLcsTable {
    std::vector<qint32> X;  // reference words as numbers (equal words, equal numbers)
    std::vector<qint32> Y;  // typed words as numbers; -1 for a word the reference lacks
    qsizetype BlockRows = 1;  // rows per band of the direction table
    // Len rows 0, BlockRows, 2 x BlockRows, ... below the last band, each
    // Y.size() + 1 counts, one after the other.
    std::vector<quint32> Checkpoints;
    // Space for the directions of one band: BlockRows x Y.size() bytes.
    std::vector<quint8> Directions;

    // Bytes held by the tables (word numbers not counted).
    qsizetype MemoryBytes() const;
};

// One aligned pair: reference word Reference is typed at position Typed
// (both from 0).
struct TLcsPair {
    qint32 Reference = 0;
    qint32 Typed = 0;
};

// The most bytes the direction band takes by default; a band is never thinner
// than about 2 x sqrt(reference words) rows.
inline constexpr qsizetype LcsDirectionBudget = qsizetype(1) << 22;

// First half: numbers the words and fills the stored rows of Len.
TLcsTable BuildLcsTable(const QStringList& reference, const QStringList& typed,
                        qsizetype directionBudget = LcsDirectionBudget);
// Second half: traces back from the last cell and returns the aligned pairs
// in ascending order. Uses table.Directions as its work space.
QList<TLcsPair> TraceLcs(TLcsTable& table);

// Runs the alignment of the normalised word lists and marks every aligned
// reference word k of work (one item per reference word): AnswerWord := the
// typed word, AnswerIndex := its position, Code := wcRight.
void AlignWords(TWordeCheckItems& work, const QStringList& reference, const QStringList& typed);
