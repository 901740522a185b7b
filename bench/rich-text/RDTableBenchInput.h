#pragma once

// The input of the table benchmarks: a rows x 5 table of short mixed Chinese
// and English cells, Liberation Sans 15 px, in an editor's document ("a",
// the table, "b"); the same cells as a QTextTable in a QTextDocument for the
// reference.

#include <memory>

#include <QtGui/QFont>
#include <QtGui/QTextCursor>
#include <QtGui/QTextDocument>
#include <QtGui/QTextTable>

#include "RDTableTestSupport.h"

namespace RDTableBenchInput {

constexpr int Cols = 5;
constexpr int Width = 600;

// Cell (row, col): GBK bytes for the document, the same text for Qt.
inline QByteArray CellGbk(int row, int col)
{
    // 学习 (study), 中文 (Chinese), 句子 (sentence).
    static const char* const words[] = {"\xd1\xa7\xcf\xb0", "\xd6\xd0\xce\xc4", "\xbe\xe4\xd7\xd3"};
    static const char* const english[] = {"word", "listen", "line", "dictation", "speak"};
    return QByteArray(words[(row + col) % 3]) + ' ' + english[col] + ' ' + QByteArray::number(row);
}

inline QString CellText(int row, int col)
{
    static const char* const words[] = {"学习", "中文", "句子"};
    static const char* const english[] = {"word", "listen", "line", "dictation", "speak"};
    return QString::fromUtf8(words[(row + col) % 3]) + QLatin1Char(' ') + QLatin1String(english[col]) +
           QLatin1Char(' ') + QString::number(row);
}

// The editor at the benchmark width, its table filled and formatted.
inline std::unique_ptr<TTableEditor> NewTableEditor(int rows)
{
    auto editor = std::make_unique<TTableEditor>(rows, Cols);
    TFontInfo* font = editor->Sheet.TextStyles().Items(0);
    font->FontName = QStringLiteral("Liberation Sans");
    font->Size = 11;  // 15 px at 96 dpi
    font->Unicode = true;
    editor->Resize(Width, 800);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < Cols; ++c) {
            TRDTableCellData* cell = editor->Table->GetCell(r, c);
            cell->Clear();
            cell->AddTextConverted(CellGbk(r, c), 0, 0, TRDTag());
        }
    editor->Table->MarkChanged();
    editor->FormatDocument();
    return editor;
}

// The reference document: "a", the table, "b" at the benchmark width.
inline std::unique_ptr<QTextDocument> NewQtTableDocument(int rows)
{
    auto doc = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(15);
    doc->setDefaultFont(font);
    doc->setTextWidth(Width);
    QTextCursor cursor(doc.get());
    cursor.insertText(QStringLiteral("a"));
    QTextTable* table = cursor.insertTable(rows, Cols);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < Cols; ++c)
            table->cellAt(r, c).firstCursorPosition().insertText(CellText(r, c));
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("b"));
    return doc;
}

}  // namespace RDTableBenchInput
