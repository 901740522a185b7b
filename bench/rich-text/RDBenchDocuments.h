#pragma once

// The input of the rich-text layout and painting benchmarks: 1 MB of English
// words in 1,795 paragraphs (or twice that), one text item a paragraph or
// three styled ones, Liberation Sans 15 px, 760 pixels wide; the same text
// as a QTextDocument for the reference.

#include <memory>
#include <random>
#include <vector>

#include <QtGui/QTextCharFormat>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>

#include "RDLayoutTestSupport.h"

namespace RDBenchInput {

constexpr int Paragraphs1MB = 1795;
constexpr int ParagraphBytes = 1024 * 1024 / Paragraphs1MB;  // 584
constexpr int Width = 760;

inline const char* const Words[] = {
    "the", "of", "and", "to", "in", "is", "you", "that", "it", "he", "was", "for", "on", "are", "as", "with",
    "his", "they", "at", "be", "this", "have", "from", "or", "one", "had", "by", "word", "but", "not", "what",
    "all", "were", "we", "when", "your", "can", "said", "there", "use", "each", "which", "she", "do", "how",
    "their", "if", "will", "up", "other", "about", "out", "many", "then", "them", "these", "so", "some", "her",
    "would", "make", "like", "him", "into", "time", "has", "look", "two", "more", "write", "go", "see", "number",
    "way", "could", "people", "than", "first", "water", "been", "call", "who", "oil", "its", "now", "find",
    "long", "down", "day", "did", "get", "come", "made", "may", "part", "listening", "sentence", "dictation",
    "remember", "language", "understand", "between", "important", "together", "mountain", "beautiful"};

// The paragraphs of the input: English words, ParagraphBytes each.
inline const std::vector<QByteArray>& Texts(int paragraphs)
{
    static std::vector<QByteArray> texts;
    if (int(texts.size()) < paragraphs) {
        std::mt19937 rng(25);
        texts.clear();
        for (int p = 0; p < 2 * Paragraphs1MB; ++p) {
            QByteArray s;
            while (s.size() < ParagraphBytes) {
                if (!s.isEmpty())
                    s += ' ';
                s += Words[rng() % (sizeof(Words) / sizeof(Words[0]))];
            }
            s.truncate(ParagraphBytes);
            texts.push_back(s);
        }
    }
    return texts;
}

// Liberation Sans 15 px: style 0 plain, 1 bold, 2 italic in colour.
class TBenchSheet : public TRDStyle {
public:
    TBenchSheet()
    {
        for (int i = 0; i < 3; ++i) {
            TFontInfo* f = TextStyles().Items(i);
            f->FontName = QStringLiteral("Liberation Sans");
            f->Size = 11;  // 15 px at 96 dpi
            f->Style = i == 1 ? fsBold : i == 2 ? fsItalic : 0;
            f->Color = i == 2 ? TColor(0xFF0000) : clBlack;
            f->Jump = false;
        }
    }
};

inline TBenchSheet& Sheet()
{
    static TBenchSheet sheet;
    return sheet;
}

inline void Build(TLayoutData& doc, int paragraphs, bool threeItems)
{
    const auto& texts = Texts(paragraphs);
    for (int p = 0; p < paragraphs; ++p) {
        const QByteArray& t = texts[size_t(p)];
        if (threeItems) {
            int a = int(t.size()) / 3, b = 2 * int(t.size()) / 3;
            doc.AddTextRawNoTag(t.left(a), 0, 0);
            doc.AddTextRawNoTag(t.mid(a, b - a), 1, -1);
            doc.AddTextRawNoTag(t.mid(b), 2, -1);
        } else {
            doc.AddTextRawNoTag(t, 0, 0);
        }
    }
}

inline std::unique_ptr<TLayoutData> NewDocument()
{
    auto doc = std::make_unique<TLayoutData>(&Sheet());
    doc->ClientWidth = Width + 10;  // margins 5
    doc->ClientHeight = 600;
    doc->ControlFlags = cfSwallowWrapSpaces;
    return doc;
}

inline void BuildQt(QTextDocument& doc, int paragraphs, bool threeItems)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(15);
    doc.setDefaultFont(font);
    doc.setTextWidth(Width);
    const auto& texts = Texts(paragraphs);
    if (!threeItems) {
        QString all;
        for (int p = 0; p < paragraphs; ++p) {
            if (p)
                all += QLatin1Char('\n');
            all += QString::fromLatin1(texts[size_t(p)]);
        }
        doc.setPlainText(all);
        return;
    }
    QTextCursor cursor(&doc);
    QTextCharFormat plain, bold, italic;
    bold.setFontWeight(QFont::Bold);
    italic.setFontItalic(true);
    italic.setForeground(Qt::blue);
    for (int p = 0; p < paragraphs; ++p) {
        const QByteArray& t = texts[size_t(p)];
        int a = int(t.size()) / 3, b = 2 * int(t.size()) / 3;
        if (p)
            cursor.insertBlock();
        cursor.insertText(QString::fromLatin1(t.left(a)), plain);
        cursor.insertText(QString::fromLatin1(t.mid(a, b - a)), bold);
        cursor.insertText(QString::fromLatin1(t.mid(b)), italic);
    }
}

} // namespace RDBenchInput
