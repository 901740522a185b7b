#pragma once

// The editor fixture shared by the editing tests: an offscreen editor over a
// style sheet of fixture styles, documents read from RDF text and written
// back as RDF text, a check of the draw items against a fresh full format,
// putting the caret at an item position, and a count of beeps.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtGui/QResizeEvent>
#include <QtWidgets/QApplication>

#include "core/RDFStream.h"
#include "document/CRDData.h"
#include "document/RDFDocIO.h"
#include "editing/RDEdit.h"
#include "items/RDMarkerItems.h"
#include "styles/RDListStyles.h"
#include "styles/RDStyle.h"

// Text styles of the fixture sheet. Every one is Courier New 15 pt (Liberation
// Mono 20 px): 12 pixels a character.
enum TEditTextStyle {
    esPlain,          // plain
    esBold,           // bold
    esUnicode,        // Unicode text
    esModifyProtect,  // rdprModifyProtect
    esDeleteProtect,  // rdprDeleteProtect
    esConcatProtect,  // rdprConcateProtect
    esSticking,       // rdprSticking
    esHeading,        // bold, NextStyleNo esPlain
    esNoAutoSwitch,   // rdprDoNotAutoSwitch
    esJump,           // hypertext
    esTextStyleCount
};
// Paragraph styles: normal, a heading (NextParaNo epNormal, DefStyleNo
// esHeading), a read-only paragraph, and the list paragraph.
enum TEditParaStyle { epNormal, epHeading, epReadOnly, epList, epParaStyleCount };
// The list style (one bullet level).
constexpr int elBullets = 0;

class TEditTestSheet : public TRDStyle {
public:
    TEditTestSheet()
    {
        for (int i = 0; i < esTextStyleCount; ++i) {
            TFontInfo* f = i < TextStyles().Count() ? TextStyles().Items(i) : TextStyles().Add();
            f->StyleName = QStringLiteral("Fixture %1").arg(i);
            f->FontName = QStringLiteral("Courier New");
            f->Size = 15;
            f->Style = (i == esBold || i == esHeading) ? fsBold : 0;
            f->Color = clBlack;
            f->BackColor = clNone;
            f->Jump = i == esJump;
            f->Unicode = i == esUnicode;
            f->NextStyleNo = i == esHeading ? esPlain : -1;
            f->HoverColor = i == esJump ? TColor(0x0000FF) : clNone;
            f->Protection = 0;
        }
        TextStyles().Items(esModifyProtect)->Protection = rdprModifyProtect;
        TextStyles().Items(esDeleteProtect)->Protection = rdprDeleteProtect;
        TextStyles().Items(esConcatProtect)->Protection = rdprConcateProtect;
        TextStyles().Items(esSticking)->Protection = rdprSticking;
        TextStyles().Items(esNoAutoSwitch)->Protection = rdprDoNotAutoSwitch;
        while (ParaStyles().Count() < epParaStyleCount)
            ParaStyles().Add();
        for (int i = 0; i < epParaStyleCount; ++i) {
            TParaInfo* p = ParaStyles().Items(i);
            p->StyleName = QStringLiteral("Fixture paragraph %1").arg(i);
            p->Alignment = TRDAlignment::rdaLeft;
            p->SpaceBefore = p->SpaceAfter = 0;
            p->Options = 0;
            p->NextParaNo = -1;
            p->DefStyleNo = -1;
        }
        ParaStyles().Items(epHeading)->NextParaNo = epNormal;
        ParaStyles().Items(epHeading)->DefStyleNo = esHeading;
        ParaStyles().Items(epReadOnly)->Options = rdpaoReadOnly;
        TRDListInfo* list = ListStyles().Add();
        list->StyleName = QStringLiteral("Bullets");
        TRDListLevel level;
        level.ListType = TRDListType::rdlstBullet;
        level.LeftIndent = 24;
        level.FirstIndent = 0;
        level.MarkerIndent = 0;
        list->Levels = {level};
        Color = clWhite;
        SpacesInTab = 0;
    }
};

// Counts beeps while it lives (the system beep is not sounded meanwhile).
class TBeepCounter {
public:
    TBeepCounter()
    {
        FOld = SetRDBeepHook([this] { ++Count; });
    }
    ~TBeepCounter() { SetRDBeepHook(std::move(FOld)); }
    TBeepCounter(const TBeepCounter&) = delete;
    TBeepCounter& operator=(const TBeepCounter&) = delete;
    int Count = 0;

private:
    std::function<void()> FOld;
};

// An editor without border or bars, width x height, on the sheet; RDF is
// written as text. It is not shown unless a test shows it.
class TTestEditor : public TRichDocEdit {
public:
    explicit TTestEditor(TRDStyle* sheet, int width = 400, int height = 300)
    {
        SetBorderStyle(TBorderStyle::bsNone);
        SetHScrollVisible(false);
        SetVScrollVisible(false);
        RDFOptions &= ~rdfoSaveBinary;
        SetStyle(sheet);
        Resize(width, height);
    }
    // The size, laid out at once also while the editor is not shown (the
    // viewport takes it before the document is formatted).
    void Resize(int width, int height)
    {
        const QSize old = size();
        resize(width, height);
        if (!isVisible()) {
            QResizeEvent event(size(), old);
            QApplication::sendEvent(this, &event);
        }
    }
    TRDEditRDData& Data() { return *EditData(); }
    const TRDDrawLineInfo& D(int i) { return *Data().DrawItems[i]; }
    int DrawCount() { return Data().DrawItems.Count(); }
};

// The document replaced by RDF text (or binary) bytes, then formatted.
inline bool LoadRDFText(TCustomRichDocEdit& editor, const QByteArray& rdf)
{
    editor.ClearDocument();
    TRDMemoryStream stream;
    stream.LoadFromBytes(rdf);
    stream.SetPosition(0);
    TColor color = clNone;
    const bool ok = editor.EditData()->LoadFromRDF(stream, color, nullptr, nullptr);
    editor.FormatDocument();
    return ok;
}

// The document as RDF text bytes (whatever the editor's options say).
inline QByteArray RDFText(TCustomRichDocEdit& editor)
{
    const TRDFOptions old = editor.RDFOptions;
    editor.RDFOptions &= ~rdfoSaveBinary;
    TRDMemoryStream stream;
    const bool ok = editor.EditData()->SaveRDF(stream, 0, nullptr, nullptr, clNone);
    editor.RDFOptions = old;
    EXPECT_TRUE(ok);
    return stream.ToBytes();
}

// A paragraph of runs: each (text, text style); the first run starts the
// paragraph in paraStyle, the others continue it.
struct TEditRun {
    QString Text;
    int Style = esPlain;
};
struct TEditPara {
    std::vector<TEditRun> Runs;
    int ParaStyle = epNormal;
    // A list paragraph: a bullet marker of the fixture's list first.
    bool Bullet = false;
};

// The document replaced by the paragraphs, then formatted.
inline void FillEditor(TCustomRichDocEdit& editor, const std::vector<TEditPara>& paras)
{
    editor.ClearDocument();
    TRDEditRDData& data = *editor.EditData();
    for (const TEditPara& p : paras) {
        bool first = true;
        if (p.Bullet) {
            auto* marker = new TRDMarkerItemInfo(&data, elBullets, 0, 1, false);
            marker->ParaNo = p.ParaStyle;
            data.AddItem(QByteArray(), marker);
            first = false;
        }
        for (const TEditRun& run : p.Runs) {
            if (first)
                editor.AddTextInNewParagraph(run.Text, run.Style, p.ParaStyle);
            else
                editor.AddTextToParagraph(run.Text, run.Style);
            first = false;
        }
    }
    editor.FormatDocument();
}

// The caret to an item position (no selection), as a click there would put it.
inline void PutCaret(TCustomRichDocEdit& editor, int itemNo, int offset)
{
    TRDEditRDData& data = *editor.EditData();
    data.Deselect(nullptr, false);
    int drawOffset = 0, d = -1;
    data.ItemPosToDrawPos(itemNo, offset, drawOffset, d);
    ASSERT_GE(d, 0) << "item " << itemNo << " offset " << offset << " has no draw item";
    data.CaretDrawItemNo = d;
    data.BuildCharPositions(drawOffset - 2);
    data.UpdateCaret(false, false, false);
}

// The draw items of the editor equal those of a fresh full format of the same
// document in an editor of the same size and sheet.
inline ::testing::AssertionResult DrawItemsMatchFreshFormat(TCustomRichDocEdit& editor)
{
    TRichDocEdit fresh;
    fresh.SetBorderStyle(editor.BorderStyle());
    fresh.SetHScrollVisible(editor.HScrollVisible());
    fresh.SetVScrollVisible(editor.VScrollVisible());
    fresh.LeftMargin = editor.LeftMargin;
    fresh.RightMargin = editor.RightMargin;
    fresh.TopMargin = editor.TopMargin;
    fresh.BottomMargin = editor.BottomMargin;
    fresh.SetStyle(editor.Style());
    fresh.resize(editor.size());
    QResizeEvent event(editor.size(), QSize());
    QApplication::sendEvent(&fresh, &event);
    if (!LoadRDFText(fresh, RDFText(editor)))
        return ::testing::AssertionFailure() << "the document does not read back";
    const TRDDrawLines& a = editor.EditData()->DrawItems;
    const TRDDrawLines& b = fresh.EditData()->DrawItems;
    if (a.GapCount != 0)
        return ::testing::AssertionFailure() << "a gap of " << a.GapCount << " slots is left open";
    if (a.Count() != b.Count())
        return ::testing::AssertionFailure() << a.Count() << " draw items, a fresh format makes " << b.Count();
    for (int i = 0; i < a.Count(); ++i) {
        const TRDDrawLineInfo& x = *a[i];
        const TRDDrawLineInfo& y = *b[i];
        if (x.Left != y.Left || x.Top != y.Top || x.Width != y.Width || x.Height != y.Height || x.ItemNo != y.ItemNo
            || x.Offs != y.Offs || x.Length != y.Length || x.StartsLine() != y.StartsLine()
            || x.JustifyExtra != y.JustifyExtra || x.ExtraSpaceBelow != y.ExtraSpaceBelow) {
            std::ostringstream s;
            s << "draw item " << i << ": (item " << x.ItemNo << ", offs " << x.Offs << ", length " << x.Length
              << ", " << x.Left << "," << x.Top << " " << x.Width << "x" << x.Height << ", new line "
              << x.StartsLine() << ") but a fresh format gives (item " << y.ItemNo << ", offs " << y.Offs
              << ", length " << y.Length << ", " << y.Left << "," << y.Top << " " << y.Width << "x" << y.Height
              << ", new line " << y.StartsLine() << ")";
            return ::testing::AssertionFailure() << s.str();
        }
    }
    return ::testing::AssertionSuccess();
}
