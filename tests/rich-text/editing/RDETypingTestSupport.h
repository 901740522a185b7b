#pragma once

// An offscreen editor for the typing, insertion and undo-script tests: a
// sheet of fixture styles, documents built paragraph by paragraph, the
// caret put at an item position, the document's RDF as text bytes, the
// draw items checked against a fresh full format, and beeps counted.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include <QtCore/QBuffer>
#include <QtCore/QString>

#include "core/RDFStream.h"
#include "document/CRDData.h"
#include "document/RDItem.h"
#include "editing/RDEdit.h"
#include "styles/RDListStyles.h"

// Text styles: 0 plain, 1 bold (both Liberation Mono 12 px), 2 Unicode,
// 3 modify-protected, 4 concat-protected, 5 sticking, 6 Unicode bold.
// Paragraph styles: 0 plain, 1 read-only, 2 heading.
enum : int {
    tsPlain = 0, tsBold = 1, tsUnicode = 2, tsModifyProtected = 3, tsConcatProtected = 4, tsSticking = 5,
    tsUnicodeBold = 6
};
enum : int { psPlain = 0, psReadOnly = 1, psHeading = 2 };

class TTypingSheet : public TRDStyle {
public:
    TTypingSheet()
    {
        TextStyles().Clear();
        for (int i = 0; i <= tsUnicodeBold; ++i) {
            TFontInfo* f = TextStyles().Add();
            f->StyleName = QStringLiteral("Style %1").arg(i);
            f->FontName = QStringLiteral("Liberation Mono");
            f->Size = 9;  // 12 px at 96 dpi
            f->Style = (i == tsBold || i == tsUnicodeBold) ? fsBold : 0;
            f->Color = clBlack;
            f->Jump = false;
        }
        TextStyles().Items(tsUnicode)->Unicode = true;
        TextStyles().Items(tsUnicodeBold)->Unicode = true;
        TextStyles().Items(tsModifyProtected)->Protection = rdprModifyProtect;
        TextStyles().Items(tsConcatProtected)->Protection = rdprConcateProtect;
        TextStyles().Items(tsSticking)->Protection = rdprSticking;
        ParaStyles().Clear();
        ParaStyles().Add()->StyleName = QStringLiteral("Plain");
        TParaInfo* readOnly = ParaStyles().Add();
        readOnly->StyleName = QStringLiteral("Read-only");
        readOnly->Options = rdpaoReadOnly;
        TParaInfo* heading = ParaStyles().Add();
        heading->StyleName = QStringLiteral("Heading");
        heading->DefStyleNo = tsBold;
        heading->NextParaNo = psPlain;
        // List style 0: numbered "1.", "2.", ...
        TRDListInfo* list = ListStyles().Add();
        list->Levels.resize(1);
        list->Levels[0].ListType = TRDListType::rdlstDecimal;
        list->Levels[0].FormatString = "%0:s.";
        SpacesInTab = 0;
    }
};

// Counts the beeps of refused edits while it lives.
class TTypingBeeps {
public:
    TTypingBeeps()
    {
        Count = 0;
        FOld = SetRDBeepHook([] { ++Count; });
    }
    ~TTypingBeeps() { SetRDBeepHook(std::move(FOld)); }
    TTypingBeeps(const TTypingBeeps&) = delete;
    TTypingBeeps& operator=(const TTypingBeeps&) = delete;
    static inline int Count = 0;

private:
    std::function<void()> FOld;
};

// One draw item as laid out.
struct TTypingDrawItem {
    int Left, Top, Width, Height, ItemNo, Offs, Length;
    bool StartsLine;
    bool operator==(const TTypingDrawItem&) const = default;
};

inline std::vector<TTypingDrawItem> TypingDrawItems(const TCustomRDFormattedData& data)
{
    std::vector<TTypingDrawItem> result;
    for (int d = 0; d < data.DrawItems.Count(); ++d) {
        const TRDDrawLineInfo* di = data.DrawItems[d];
        result.push_back({di->Left, di->Top, di->Width, di->Height, di->ItemNo, di->Offs, di->Length,
                          di->StartsLine()});
    }
    return result;
}

inline std::ostream& operator<<(std::ostream& os, const TTypingDrawItem& d)
{
    return os << "{item " << d.ItemNo << " offs " << d.Offs << " len " << d.Length << " at " << d.Left << ","
              << d.Top << " " << d.Width << "x" << d.Height << (d.StartsLine ? " line" : "") << "}";
}

class TTypingEditor {
public:
    explicit TTypingEditor(TRDStyle* sheet) : Sheet(sheet)
    {
        Edit = std::make_unique<TRichDocEdit>();
        Edit->SetStyle(sheet);
        Edit->resize(400, 300);
        Edit->RDFOptions &= ~rdfoSaveBinary;
        Edit->SetUndoLimit(-1);
        Data = Edit->EditData();
    }

    // A paragraph of text of a style (Unicode styles get UTF-16 text).
    void Para(const QString& text, int style = tsPlain, int para = psPlain)
    {
        Edit->AddTextInNewParagraph(text, style, para);
    }
    // More text in the last paragraph.
    void More(const QString& text, int style) { Edit->AddTextToParagraph(text, style); }
    void Format() { Edit->FormatDocument(); }

    // The caret at an item position, the caret stops built.
    void Caret(int item, int offset)
    {
        int drawOffset = 0, drawNo = 0;
        Data->ItemPosToDrawPos(item, offset, drawOffset, drawNo);
        Data->CaretDrawItemNo = drawNo;
        Data->BuildCharPositions(drawOffset - 2);
        Data->UpdateCaret(false, false, false);
    }
    int CaretItem() { return Data->GetCaretItemNo(); }
    int CaretOffset() { return Data->GetCaretOffset(); }

    // The document as RDF text.
    QByteArray Rdf()
    {
        TRDMemoryStream stream;
        EXPECT_TRUE(Data->SaveRDF(stream, 0, nullptr, nullptr, clNone));
        return stream.ToBytes();
    }
    // The items' texts as characters.
    QStringList Texts() const
    {
        QStringList texts;
        for (int i = 0; i < Edit->GetItemCount(); ++i)
            texts << Edit->GetItemTextW(i);
        return texts;
    }
    int Count() const { return Edit->GetItemCount(); }
    TCustomRDItemInfo* Item(int i) const { return Data->ItemAt(i); }

    // The draw items equal those of the same document freshly formatted.
    void ExpectFreshLayout(const char* where)
    {
        TTypingEditor fresh(Sheet);
        TRDMemoryStream stream;
        stream.LoadFromBytes(Rdf());
        stream.SetPosition(0);
        TColor color = clNone;
        ASSERT_TRUE(fresh.Data->LoadFromRDF(stream, color, nullptr, nullptr)) << where;
        fresh.Format();
        EXPECT_EQ(TypingDrawItems(*Data), TypingDrawItems(*fresh.Data)) << where;
    }

    // Undo and redo of the last group as the editor does them.
    void Undo() { Data->UndoList->Undo(*Data); }
    void Redo() { Data->RedoList->Redo(*Data); }

    TRDStyle* Sheet;
    std::unique_ptr<TRichDocEdit> Edit;
    TRDEditRDData* Data = nullptr;
};

// The editor's insert-text entry as the editor control runs it: one
// insertion group in group mode, the pending tag kept, then the change.
inline void TypingInsertText(TRDEditRDData& data, const QByteArray& text, bool unicode, bool caretAtStart = false)
{
    data.State |= dsOpenInsertion;
    data.BeginUndoGroup(rdutInsert);
    data.SetUndoGroupMode(true);
    if (unicode)
        data.InsertTextW(text, true, caretAtStart);
    else
        data.InsertText(text, true, caretAtStart);
    data.SetUndoGroupMode(false);
    data.State &= ~dsOpenInsertion;
    data.DoChange(true);
}

// UTF-16LE bytes of a string.
inline QByteArray TypingUtf16(const QString& s)
{
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}
