#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>

#include <climits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "document/RDBack.h"
#include "document/RDFDocIO.h"
#include "core/RDLists.h"
#include "viewer/RDRichDoc.h"
#include "styles/RDStyle.h"
#include "core/RDUnicode.h"

namespace {

// The check dialogs' eight text styles (number: name, font, size, bold,
// struck out, colour, background, hypertext) and their two paragraph styles
// (0 spaced, 1 centred), on a white page.
enum { csRightSpell, csWrongSpell, csCorrectSpell, csOverSpell, csMissSpell, csItemTitle, csSummary, csNumber };
constexpr TColor OverSpellBack = 196604;  // RGB FC FF 02
constexpr TColor MissSpellBack = 57670;   // RGB 46 E1 00

class TCheckSheet : public TRDStyle {
public:
    TCheckSheet()
    {
        struct TDef {
            const char* Name;
            const char* Font;
            int Size;
            bool Bold, StrikeOut;
            TColor Color, Back;
            bool Jump;
        };
        static const TDef defs[] = {
            {"RightSpell", "Arial", 11, true, false, clBlack, clNone, false},
            {"WrongSpell", "Arial", 11, true, true, 0x0000FF, clNone, false},
            {"CorrectSpell", "Arial", 9, true, false, 0, clNone, false},
            {"OverSpell", "Arial", 11, true, false, 0, OverSpellBack, false},
            {"MissSpell", "Arial", 11, true, false, 0, MissSpellBack, true},
            {"ItemTitle", "宋体", 11, false, false, 0, clNone, false},
            {"Font Style", "宋体", 9, false, false, 0, clNone, false},
            {"Font Style", "宋体", 11, true, false, 7456396, clNone, false},
        };
        for (int i = 0; i < 8; ++i) {
            TFontInfo* f = i < TextStyles().Count() ? TextStyles().Items(i) : TextStyles().Add();
            const TDef& d = defs[i];
            f->StyleName = QString::fromUtf8(d.Name);
            f->FontName = QString::fromUtf8(d.Font);
            f->Size = d.Size;
            f->Style = (d.Bold ? fsBold : 0) | (d.StrikeOut ? fsStrikeOut : 0);
            f->Color = d.Color;
            f->BackColor = d.Back;
            f->Jump = d.Jump;
            f->Unicode = false;
        }
        while (ParaStyles().Count() < 2)
            ParaStyles().Add();
        ParaStyles().Items(0)->SpaceBefore = 8;
        ParaStyles().Items(1)->Alignment = TRDAlignment::rdaCenter;
        Color = clWhite;
        SelColor = 0x0000FF;
        InactiveSelColor = 0x00FF00;
    }
};

QRgb Rgb(TColor c) { return ToQColor(c).rgb() | 0xFF000000; }

// A shown viewer of the given client size, without border or bars, on the check sheet.
class TViewer : public TRichDoc {
public:
    explicit TViewer(TRDStyle* sheet, int width = 400, int height = 300)
    {
        setObjectName(QStringLiteral("CheckView"));
        SetBorderStyle(TBorderStyle::bsNone);
        SetHScrollVisible(false);
        SetVScrollVisible(false);
        SetStyle(sheet);
        resize(width, height);
        show();
    }
    QImage Grab() { return viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    TRichDocRDData& Data() { return *DocumentData(); }
    const TRDDrawLineInfo& D(int i) { return *Data().DrawItems[i]; }
    // The draw item's rectangle in client coordinates.
    QRect ClientRect(int i)
    {
        const TRDDrawLineInfo& d = D(i);
        return QRect(d.Left - Data().GetHOffset(), d.Top - Data().GetVOffset(), d.Width, d.Height);
    }
};

int Ink(const QImage& image, const QRect& r, QRgb page = 0xFFFFFFFF)
{
    int ink = 0;
    const QRect area = r.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != page)
                ++ink;
    return ink;
}

// The rectangle is filled with the colour behind its glyphs: no pixel keeps
// the white page and most of them have the colour.
::testing::AssertionResult RimIs(const QImage& image, QRect r, QRgb colour)
{
    int filled = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (p == 0xFFFFFFFF)
                return ::testing::AssertionFailure() << "(" << x << "," << y << ") is white";
            filled += p == colour;
        }
    if (filled * 10 < r.width() * r.height() * 4)
        return ::testing::AssertionFailure() << filled << " of " << r.width() * r.height() << " have the colour";
    return ::testing::AssertionSuccess();
}

struct TRun {
    QString Text;
    int Style;
};
struct TPara {
    int ParaStyle;
    std::vector<TRun> Runs;
};

// The dialogs fill the viewer as the check result says: each paragraph's
// first run starts it, the others continue it.
void Fill(TRichDoc& doc, const std::vector<TPara>& paras)
{
    doc.ClearDocument();
    for (const TPara& p : paras)
        for (size_t i = 0; i < p.Runs.size(); ++i) {
            if (i == 0)
                doc.AddTextInNewParagraph(p.Runs[i].Text, p.Runs[i].Style, p.ParaStyle);
            else
                doc.AddTextToParagraph(p.Runs[i].Text, p.Runs[i].Style);
        }
    doc.FormatDocument();
}

const std::vector<TPara> CheckResult = {
    {0, {{QString(), csItemTitle}}},
    {0, {{QStringLiteral("1 "), csNumber}, {QStringLiteral("参照："), csItemTitle},
         {QStringLiteral("It is a fine day today."), csRightSpell}}},
    {0, {{QStringLiteral("  "), csNumber}, {QStringLiteral("It "), csRightSpell}, {QStringLiteral("iss"), csWrongSpell},
         {QStringLiteral(" is "), csCorrectSpell}, {QStringLiteral("very"), csOverSpell},
         {QStringLiteral(" a "), csRightSpell}, {QStringLiteral("fine"), csMissSpell},
         {QStringLiteral(" day."), csRightSpell}}},
    {0, {{QStringLiteral("正确 5 个，错误 1 个"), csSummary}}},
    {1, {{QStringLiteral("again"), csOverSpell}}},
};

} // namespace

TEST(RDRichDoc, ConstructionDefaults)
{
    TRichDoc doc;
    EXPECT_EQ(doc.Style(), nullptr);
    EXPECT_EQ(doc.Color(), clNone);
    EXPECT_EQ(doc.ControlFlags, 0x0D03);
    EXPECT_EQ(doc.Options, 326949u);
    EXPECT_EQ(doc.RDFOptions, 49219u);
    EXPECT_EQ(doc.RTFOptions, 14u);
    EXPECT_EQ(doc.LeftMargin + doc.RightMargin + doc.TopMargin + doc.BottomMargin, 20);
    EXPECT_EQ(doc.BorderStyle(), TBorderStyle::bsSingle);
    EXPECT_EQ(doc.VAlign(), TTextLayout::tlTop);
    EXPECT_EQ(doc.TabNavigation(), TRDTabNavigationType::rdtnTab);
    EXPECT_EQ(doc.CurrentNoteText, QStringLiteral("?"));
    EXPECT_EQ(doc.Delimiters.size(), 28);
    EXPECT_EQ(doc.width(), 100);
    EXPECT_EQ(doc.height(), 40);
    EXPECT_TRUE(doc.WordWrap);
    // No sheet: the window colour.
    EXPECT_EQ(doc.GetEffectiveColor(), clWindow);
}

TEST(RDRichDoc, WithoutStyleThePaintNamesTheControl)
{
    TViewer doc(nullptr, 300, 120);
    EXPECT_EQ(doc.NoStyleMessage(),
              QStringLiteral("Style is not defined\rCreate a TRDStyle object and assign it to CheckView.Style"));
    const QImage image = doc.Grab();
    const QRgb window = Rgb(clWindow);
    EXPECT_GT(Ink(image, QRect(0, 0, 300, 20), window), 0);
    EXPECT_EQ(Ink(image, QRect(0, 80, 300, 40), window), 0);
}

TEST(RDRichDoc, FreeingTheSheetLeavesNoStyle)
{
    auto sheet = std::make_unique<TCheckSheet>();
    TViewer doc(sheet.get());
    Fill(doc, CheckResult);
    ASSERT_GT(doc.Data().DrawItems.Count(), 0);
    sheet.reset();
    EXPECT_EQ(doc.Style(), nullptr);
    EXPECT_EQ(doc.Data().DrawItems.Count(), 0);
    EXPECT_GT(Ink(doc.Grab(), QRect(0, 0, 400, 20), Rgb(clWindow)), 0);
}

TEST(RDRichDoc, CheckDocumentShowsItsMarks)
{
    TCheckSheet sheet;
    TViewer doc(&sheet, 500, 300);
    Fill(doc, CheckResult);
    const QImage image = doc.Grab();
    int over = 0, miss = 0, wrong = 0;
    for (int i = 0; i < doc.Data().DrawItems.Count(); ++i) {
        const int style = doc.GetItemStyle(doc.D(i).ItemNo);
        const QRect r = doc.ClientRect(i);
        if (style == csOverSpell || style == csMissSpell) {
            EXPECT_TRUE(RimIs(image, r, Rgb(style == csOverSpell ? OverSpellBack : MissSpellBack))) << i;
            ++(style == csOverSpell ? over : miss);
        }
        if (style == csWrongSpell) {
            // Some row across the middle half is inked from end to end.
            bool struck = false;
            for (int y = r.top() + r.height() / 4; y < r.top() + 3 * r.height() / 4 && !struck; ++y)
                struck = Ink(image, QRect(r.left() + 1, y, r.width() - 2, 1)) == r.width() - 2;
            EXPECT_TRUE(struck);
            ++wrong;
        }
    }
    EXPECT_EQ(over, 2);
    EXPECT_EQ(miss, 1);
    EXPECT_EQ(wrong, 1);
    // The page is white right of the text and below it.
    const int bottom = doc.GetDocumentHeight();
    EXPECT_EQ(Ink(image, QRect(0, bottom, 500, 300 - bottom)), 0);
    EXPECT_EQ(Ink(image, QRect(doc.ClientRect(0).right() + 300, 0, 50, bottom)), 0);
    // The Chinese run of an ANSI style is kept as GB18030 bytes.
    EXPECT_EQ(doc.GetItemText(2), QStringToAnsi(936, QStringLiteral("参照：")));
    EXPECT_EQ(doc.GetItemTextW(2), QStringLiteral("参照："));
}

TEST(RDRichDoc, QStringTextIsStoredInTheEncodingOfItsStyle)
{
    TCheckSheet sheet;
    sheet.TextStyles().Items(csSummary)->Unicode = true;
    TRichDoc doc;
    doc.SetStyle(&sheet);
    const QString chinese = QStringLiteral("正确");
    doc.AddTextInNewParagraph(chinese, csItemTitle, 0);
    doc.AddTextToParagraph(chinese, csSummary);
    // Style below 0: the paragraph's default text style (0, ANSI).
    doc.AddTextToParagraph(QStringLiteral("ab"), -1);
    ASSERT_EQ(doc.GetItemCount(), 3);
    EXPECT_EQ(doc.GetItemText(0), QByteArray("\xD5\xFD\xC8\xB7"));
    EXPECT_EQ(doc.GetItemText(1), QByteArray("\x63\x6B\x6E\x78", 4));
    EXPECT_EQ(doc.GetItemTextW(1), chinese);
    EXPECT_EQ(doc.GetItemText(2), QByteArray("ab"));
    EXPECT_EQ(doc.GetItemStyle(2), 0);
    // Byte forms are taken as they are.
    doc.AddTextInNewParagraph(QByteArray("\xD5\xFD"), csItemTitle, 1);
    EXPECT_EQ(doc.GetItemText(3), QByteArray("\xD5\xFD"));
    EXPECT_TRUE(doc.IsNewLine(3));
    EXPECT_EQ(doc.GetItem(3)->ParaNo, 1);
}

TEST(RDRichDoc, AddTextToParagraphOnAnEmptyDocumentStartsParagraphZero)
{
    TCheckSheet sheet;
    TRichDoc doc;
    doc.SetStyle(&sheet);
    doc.AddTextToParagraph(QStringLiteral("first"), csRightSpell);
    ASSERT_EQ(doc.GetItemCount(), 1);
    EXPECT_EQ(doc.GetItem(0)->ParaNo, 0);
    EXPECT_TRUE(doc.GetItem(0)->StartsParagraph());
    EXPECT_EQ(doc.GetOffsetBeforeItem(0), 1);
    EXPECT_EQ(doc.GetOffsetAfterItem(0), 6);
}

TEST(RDRichDoc, DeleteItemRangeClipsAndIgnoresPastTheEnd)
{
    TCheckSheet sheet;
    TViewer doc(&sheet);
    struct TCase {
        int First, Count, Left;
    } cases[] = {{5, 1, 5}, {-1, 2, 5}, {1, 0, 5}, {3, 10, 3}, {0, 1, 4}};
    for (const TCase& c : cases) {
        Fill(doc, {{0, {{"a", 0}, {"b", 0}, {"c", 0}, {"d", 0}, {"e", 0}}}});
        doc.SelectAllItems();
        doc.DeleteItemRange(c.First, c.Count);
        EXPECT_EQ(doc.GetItemCount(), c.Left) << c.First << " " << c.Count;
        int s = 0, so = 0, e = 0, eo = 0;
        doc.GetSelectionBounds(s, so, e, eo, true);
        EXPECT_EQ(s, -1);
        // Painting before the next format finds no stale layout.
        doc.Grab();
        doc.FormatDocument();
        doc.Grab();
    }
}

TEST(RDRichDoc, SelectionOperations)
{
    TCheckSheet sheet;
    TViewer doc(&sheet);
    int selects = 0;
    doc.OnSelect = [&](QObject* sender) {
        EXPECT_EQ(sender, &doc);
        ++selects;
    };
    Fill(doc, {{0, {{"hello ", 0}, {"world", 3}}}});
    // Clearing the document before the fill deselected with a notification.
    EXPECT_EQ(selects, 1);
    selects = 0;
    int s = 0, so = 0, e = 0, eo = 0;
    doc.GetSelectionBounds(s, so, e, eo, true);
    EXPECT_EQ(s, -1);
    EXPECT_FALSE(doc.HasSelection());

    doc.SetSelectionBounds(0, 3, 0, 3);
    EXPECT_EQ(selects, 1);
    EXPECT_FALSE(doc.HasSelection());
    EXPECT_EQ(selects, 2);  // the empty selection was cleared with a notification
    doc.GetSelectionBounds(s, so, e, eo, true);
    EXPECT_EQ(s, -1);

    doc.SetSelectionBounds(1, 4, 0, 2);
    EXPECT_TRUE(doc.HasSelection());
    doc.GetSelectionBounds(s, so, e, eo, true);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(so, 2);
    EXPECT_EQ(e, 1);
    EXPECT_EQ(eo, 4);
    doc.GetSelectionBounds(s, so, e, eo, false);
    EXPECT_EQ(s, 1);

    doc.SelectAllItems();
    EXPECT_TRUE(doc.HasSelection());
    doc.GetSelectionBounds(s, so, e, eo, true);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(so, 1);
    EXPECT_EQ(e, 1);
    EXPECT_EQ(eo, 6);
    doc.Deselect();
    EXPECT_FALSE(doc.HasSelection());

    // Nothing to select in an empty document.
    doc.ClearDocument();
    const int before = selects;
    doc.SelectAllItems();
    EXPECT_EQ(selects, before);
}

TEST(RDRichDoc, SelectionPaintsWithTheFocusedOrInactiveColour)
{
    TCheckSheet sheet;
    sheet.SelTextColor = sheet.InactiveSelTextColor = clBlack;
    TViewer doc(&sheet);
    Fill(doc, {{0, {{"aaaa", 0}, {"bbbb", 0}}}});
    doc.SetSelectionBounds(1, 1, 1, 5);
    ASSERT_EQ(doc.Data().DrawItems.Count(), 2);
    // Offscreen, the viewer is not focused: the inactive colour.
    const QImage image = doc.Grab();
    EXPECT_TRUE(RimIs(image, doc.ClientRect(1), Rgb(sheet.InactiveSelColor)));
    EXPECT_EQ(image.pixel(doc.ClientRect(0).topLeft()), 0xFFFFFFFF);
}

TEST(RDRichDoc, FormatDocumentBeforeTheWindowExists)
{
    TCheckSheet sheet;
    TRichDoc doc;
    doc.SetStyle(&sheet);
    doc.AddTextInNewParagraph(QStringLiteral("Some text"), 0, 0);
    EXPECT_FALSE(doc.HandleAllocated());
    EXPECT_EQ(doc.VSmallStep, 1);
    doc.FormatDocument();
    EXPECT_EQ(doc.DocumentData()->DrawItems.Count(), 1);
    EXPECT_GT(doc.GetDocumentHeight(), doc.TopMargin + doc.BottomMargin);
    doc.resize(300, 200);
    doc.show();
    EXPECT_EQ(doc.VSmallStep, 10);
    EXPECT_EQ(doc.DocumentData()->DrawItems.Count(), 1);
}

TEST(RDRichDoc, ColourNoneWithAWhiteSheetPaintsWhite)
{
    TCheckSheet sheet;
    TViewer doc(&sheet, 200, 100);
    Fill(doc, {{0, {{"x", 0}}}});
    EXPECT_EQ(doc.Color(), clNone);
    EXPECT_EQ(doc.GetEffectiveColor(), clWhite);
    EXPECT_EQ(doc.Grab().pixel(150, 80), 0xFFFFFFFF);
    doc.SetColor(0x00FF00);
    EXPECT_EQ(doc.Grab().pixel(150, 80), Rgb(0x00FF00));
}

TEST(RDRichDoc, VAlignPlacesAShortDocument)
{
    TCheckSheet sheet;
    TViewer doc(&sheet, 200, 101);
    ASSERT_EQ(doc.ClientHeight(), 101);
    struct TCase {
        TTextLayout Layout;
        int DocumentHeight, Offset;
    } cases[] = {{TTextLayout::tlTop, 40, 0},     {TTextLayout::tlCenter, 40, 30}, {TTextLayout::tlBottom, 40, 61},
                 {TTextLayout::tlCenter, 300, 0}, {TTextLayout::tlBottom, 300, 0}};
    for (const TCase& c : cases) {
        doc.SetVAlign(c.Layout);
        doc.Data().DocumentHeight = c.DocumentHeight;
        EXPECT_EQ(doc.Data().GetVAlignOffset(), c.Offset);
        int x = -1, y = -1;
        doc.Data().GetOrigin(x, y);
        EXPECT_EQ(y, c.Offset);
        EXPECT_EQ(doc.Data().GetVOffset(), -c.Offset);
    }
    // A centred line is painted that far down.
    doc.SetVAlign(TTextLayout::tlCenter);
    Fill(doc, {{0, {{"over", csOverSpell}}}});
    const int offset = doc.Data().GetVAlignOffset();
    EXPECT_EQ(offset, (101 - doc.GetDocumentHeight()) / 2);
    const QImage image = doc.Grab();
    const QRect r = doc.ClientRect(0);
    EXPECT_EQ(r.top(), doc.D(0).Top + offset);
    EXPECT_TRUE(RimIs(image, r, Rgb(OverSpellBack)));
    EXPECT_EQ(Ink(image, QRect(0, 0, 200, r.top() - 1)), 0);
}

TEST(RDRichDoc, ScrollsByBarWheelAndKeys)
{
    TCheckSheet sheet;
    TViewer doc(&sheet, 300, 120);
    doc.SetVScrollVisible(true);
    std::vector<TPara> paras;
    for (int i = 0; i < 60; ++i)
        paras.push_back({0, {{QStringLiteral("Line %1").arg(i), i % 2 ? csOverSpell : csRightSpell}}});
    Fill(doc, paras);
    QScrollBar* bar = doc.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(doc.DocHeight, (doc.GetDocumentHeight() + 9) / 10);

    // The bar.
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(doc.VPos, doc.ClientHeight() / 10);
    EXPECT_EQ(bar->value(), doc.VPos);
    // The wheel: one notch down with three lines is two steps.
    const int afterBar = doc.VPos;
    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    const int lines = QApplication::wheelScrollLines();
    QApplication::setWheelScrollLines(3);
    QApplication::sendEvent(doc.viewport(), &wheel);
    QApplication::setWheelScrollLines(lines);
    EXPECT_EQ(doc.VPos, afterBar + 2);
    // The keys.
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(&doc, &down);
    EXPECT_EQ(doc.VPos, afterBar + 3);
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QApplication::sendEvent(&doc, &end);
    EXPECT_EQ(doc.VPos, bar->maximum());

    // What is painted follows the scroll: an "OverSpell" line shown at its place.
    const QImage image = doc.Grab();
    int probed = 0;
    for (int i = 0; i < doc.Data().DrawItems.Count(); ++i) {
        const QRect r = doc.ClientRect(i);
        if (r.top() < 0 || r.bottom() >= doc.ClientHeight() || doc.GetItemStyle(doc.D(i).ItemNo) != csOverSpell)
            continue;
        EXPECT_TRUE(RimIs(image, r, Rgb(OverSpellBack))) << i;
        ++probed;
    }
    EXPECT_GT(probed, 0);
    EXPECT_EQ(doc.Data().GetVOffset(), doc.VPos * 10);
}

TEST(RDRichDoc, AThrowingTextEventShowsErrorAndPaintsTheRest)
{
    TCheckSheet sheet;
    TViewer doc(&sheet, 300, 100);
    Fill(doc, {{0, {{"fine", 0}}}, {0, {{"bad", 3}}}});
    struct TCase {
        bool StdException;
        QString Message;
    } cases[] = {{true, QStringLiteral("drawing failed")}, {false, QStringLiteral("unknown failure")}};
    for (const TCase& c : cases) {
        sheet.OnDrawStyleText = [&](TRDStyle&, const QByteArray& s, TCanvas&, int, int, int, int, int, int,
                                    TRDTextDrawStates, bool&) {
            if (s == "bad") {
                if (c.StdException)
                    throw std::runtime_error("drawing failed");
                throw 42;
            }
        };
        const QImage image = doc.Grab();
        EXPECT_EQ(doc.Data().LastPaintError, c.Message);
        // "Error:" in red at the top left.
        int red = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 120; ++x) {
                const QColor p = image.pixelColor(x, y);
                if (p.red() > 150 && p.green() < 100 && p.blue() < 100)
                    ++red;
            }
        EXPECT_GT(red, 10);
        // The rest of the window keeps the page.
        EXPECT_EQ(Ink(image, QRect(0, 60, 300, 40)), 0);
        EXPECT_EQ(Ink(image, QRect(200, 20, 100, 40)), 0);
    }
    sheet.OnDrawStyleText = nullptr;
    doc.Grab();
    EXPECT_TRUE(doc.Data().LastPaintError.isEmpty());
}

TEST(RDRichDoc, EventsReachTheControlsHandlers)
{
    TCheckSheet sheet;
    TViewer doc(&sheet);
    TRichDocRDData& data = doc.Data();
    EXPECT_FALSE(data.HasJumpHandler());
    EXPECT_TRUE(data.DoUrlNeeded(3).isEmpty());
    int jumped = -1;
    doc.OnJump = [&](QObject*, int id) { jumped = id; };
    doc.OnURLNeeded = [](TCustomRichDoc*, int id, QString& url) { url = QStringLiteral("u%1").arg(id); };
    EXPECT_TRUE(data.HasJumpHandler());
    data.DoJump(7);
    EXPECT_EQ(jumped, 7);
    EXPECT_EQ(data.DoUrlNeeded(3), QStringLiteral("u3"));
    // Without its own handler the link target is the URL answer.
    QString target, extras;
    data.DoWriteHyperlink(4, &data, -1, TRDSaveFormat::rdsfHTML, target, extras);
    EXPECT_EQ(target, QStringLiteral("u4"));
    // Hyperlinks read: bullets as hotspots, pictures as hot pictures.
    int seen = 0;
    doc.OnReadHyperlink = [&](TCustomRichDoc*, const QString&, const QString&, TRDLoadFormat, int& styleNo, TRDTag&,
                              QByteArray&) { seen = styleNo; };
    for (auto [in, out] : {std::pair{-6, -4}, {-3, -10}, {0, 0}}) {
        TRDTag tag;
        QByteArray name;
        int style = in;
        data.DoReadHyperlink(QString(), QString(), TRDLoadFormat::rdlfRTF, style, tag, name);
        EXPECT_EQ(seen, out);
    }
    // Item hints: the item's own, changed by the event, else the default.
    Fill(doc, {{0, {{"a", 0}}}});
    doc.GetItem(0)->Hint = QStringLiteral("own");
    EXPECT_EQ(data.DoItemHint(&data, 0, QStringLiteral("def")), QStringLiteral("own"));
    doc.OnItemHint = [](TCustomRichDoc*, TCustomRDData*, int, QString& text) { text.clear(); };
    EXPECT_EQ(data.DoItemHint(&data, 0, QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_EQ(data.DoItemHint(&data, -1, QStringLiteral("def")), QStringLiteral("def"));
    // The hint hook receives the control instead of the tool tip.
    TCustomRichDoc* hooked = nullptr;
    data.HintHook = [&](TCustomRichDoc* control) { hooked = control; };
    data.ShowItemHint(QStringLiteral("tip"));
    EXPECT_EQ(hooked, &doc);
    EXPECT_EQ(doc.Hint(), QStringLiteral("tip"));
}

TEST(RDRichDoc, VerticalStepStaysWithin32000StepsOfTheDocument)
{
    TCheckSheet sheet;
    TViewer doc(&sheet);
    doc.SetVScrollVisible(true);
    struct TCase {
        int Height, Step;
    } cases[] = {{400000, 13}, {320000, 10}, {400000, 13}, {320009, 10}};
    for (const TCase& c : cases) {
        doc.Data().DocumentHeight = c.Height;
        doc.Data().AdjustVScrollUnits();
        EXPECT_EQ(doc.VSmallStep, c.Step) << c.Height;
    }
    // A step that would leave more than 32000 steps is refused.
    doc.Data().DocumentHeight = 400000;
    doc.SetVSmallStep(12);
    EXPECT_EQ(doc.VSmallStep, 10);
    doc.SetVSmallStep(0);
    EXPECT_EQ(doc.VSmallStep, 10);
    doc.SetVSmallStep(13);
    EXPECT_EQ(doc.VSmallStep, 13);
}

TEST(RDRichDoc, TheLayoutFollowsTheClientWidth)
{
    TCheckSheet sheet;
    TViewer doc(&sheet, 300, 120);
    doc.SetVScrollVisible(true);
    // One paragraph that wraps into more lines than the window shows: the bar
    // appears and narrows the client; the lines are made for the narrower width.
    QString words;
    for (int i = 0; i < 80; ++i)
        words += QStringLiteral("word%1 ").arg(i);
    Fill(doc, {{0, {{words, csRightSpell}}}});
    QApplication::processEvents();
    ASSERT_TRUE(doc.verticalScrollBar()->isVisible());
    EXPECT_LT(doc.ClientWidth(), 300);
    TRichDocRDData& data = doc.Data();
    EXPECT_EQ(data.GetWidth(), doc.ClientWidth());
    for (int i = 0; i < data.DrawItems.Count(); ++i)
        EXPECT_LE(doc.D(i).Left + doc.D(i).Width, doc.ClientWidth() - doc.RightMargin) << i;
    // A wider window: longer lines.
    const int lines = data.DrawItems.Count();
    doc.resize(600, 120);
    QApplication::processEvents();
    EXPECT_LT(data.DrawItems.Count(), lines);
    for (int i = 0; i < data.DrawItems.Count(); ++i)
        EXPECT_LE(doc.D(i).Left + doc.D(i).Width, doc.ClientWidth() - doc.RightMargin) << i;
}

TEST(RDRichDoc, AHostileLayoutBlockIsBoundedAndFormats)
{
    // The block as a file made to harm writes it: margins and widths at the
    // ends of the integers.
    TCheckSheet sheet;
    TRichDoc source;
    source.SetStyle(&sheet);
    source.RDFOptions |= rdfoSaveLayout;
    source.AddTextInNewParagraph(QStringLiteral("one"), csRightSpell, 0);
    TRDLayoutInfo hostile;
    hostile.LeftMargin = INT_MAX;
    hostile.RightMargin = INT_MAX;
    hostile.TopMargin = INT_MAX;
    hostile.BottomMargin = INT_MIN;
    hostile.MinTextWidth = INT_MAX;
    hostile.MaxTextWidth = INT_MIN;
    TRDMemoryStream rdf;
    ASSERT_TRUE(source.DocumentData()->SaveRDF(rdf, 0, &hostile, nullptr, clNone));

    TViewer copy(&sheet, 300, 100);
    copy.RDFOptions |= rdfoLoadLayout;
    rdf.SetPosition(0);
    TColor color = clNone;
    TRDLayoutInfo layout;
    ASSERT_TRUE(copy.DocumentData()->LoadFromRDF(rdf, color, copy.Background(), &layout));
    ASSERT_TRUE(layout.Loaded);
    EXPECT_EQ(layout.LeftMargin, RDFMaxLayoutExtent);
    EXPECT_EQ(layout.RightMargin, RDFMaxLayoutExtent);
    EXPECT_EQ(layout.TopMargin, RDFMaxLayoutExtent);
    EXPECT_EQ(layout.BottomMargin, 0);
    EXPECT_EQ(layout.MinTextWidth, RDFMaxLayoutExtent);
    EXPECT_EQ(layout.MaxTextWidth, 0);
    copy.ApplyLayout(layout);
    copy.FormatDocument();
    QApplication::processEvents();
    // Every extent adds up to what it is.
    EXPECT_EQ(copy.Data().TextWidth, RDFMaxLayoutExtent);
    EXPECT_EQ(copy.Data().DocumentWidth, RDFMaxLayoutExtent);
    EXPECT_EQ(copy.Data().GetScrollWidth(), 3 * RDFMaxLayoutExtent);
    ASSERT_EQ(copy.Data().DrawItems.Count(), 1);
    EXPECT_EQ(copy.D(0).Left, RDFMaxLayoutExtent);
    EXPECT_GE(copy.D(0).Top, RDFMaxLayoutExtent);
    EXPECT_LT(copy.D(0).Top, RDFMaxLayoutExtent + 100);
    EXPECT_GT(copy.Data().DocumentHeight, copy.D(0).Top);

    // The block alone, value by value.
    struct TCase {
        int32_t Stored, Read;
    } cases[] = {{0, 0}, {5, 5}, {RDFMaxLayoutExtent, RDFMaxLayoutExtent}, {RDFMaxLayoutExtent + 1, RDFMaxLayoutExtent},
                 {INT_MAX, RDFMaxLayoutExtent}, {-1, 0}, {INT_MIN, 0}};
    for (const TCase& c : cases) {
        TRDLayoutInfo block;
        block.LeftMargin = block.RightMargin = block.TopMargin = block.BottomMargin = c.Stored;
        block.MinTextWidth = block.MaxTextWidth = c.Stored;
        TRDLayoutInfo read;
        read.LoadFromBytes(block.SaveToBytes(true));
        for (int32_t v : {read.LeftMargin, read.RightMargin, read.TopMargin, read.BottomMargin, read.MinTextWidth,
                          read.MaxTextWidth})
            EXPECT_EQ(v, c.Read) << c.Stored;
    }
}

TEST(RDRichDoc, RDFKeepsTheLayoutAndTextGoesOutPlain)
{
    TCheckSheet sheet;
    TRichDoc source;
    source.SetStyle(&sheet);
    source.RDFOptions |= rdfoSaveLayout;
    source.LeftMargin = 7;
    source.TopMargin = 9;
    source.MaxTextWidth = 250;
    source.AddTextInNewParagraph(QStringLiteral("one"), csRightSpell, 0);
    source.AddTextToParagraph(QStringLiteral("two"), csOverSpell);
    TRDMemoryStream rdf;
    ASSERT_TRUE(source.SaveRDFToStream(rdf, false));

    TRichDoc copy;
    copy.SetStyle(&sheet);
    copy.RDFOptions |= rdfoLoadLayout;
    rdf.SetPosition(0);
    TColor color = clNone;
    TRDLayoutInfo layout;
    ASSERT_TRUE(copy.DocumentData()->LoadFromRDF(rdf, color, copy.Background(), &layout));
    ASSERT_TRUE(layout.Loaded);
    copy.ApplyLayout(layout);
    EXPECT_EQ(copy.LeftMargin, 7);
    EXPECT_EQ(copy.TopMargin, 9);
    EXPECT_EQ(copy.RightMargin, 5);
    EXPECT_EQ(copy.MaxTextWidth, 250);
    ASSERT_EQ(copy.GetItemCount(), 2);
    EXPECT_EQ(copy.GetItemTextW(1), QStringLiteral("two"));
    EXPECT_EQ(copy.GetItemStyle(1), csOverSpell);

    struct TCase {
        bool Wide;
        QByteArray Expected;
    } cases[] = {{false, "onetwo"}, {true, QByteArray("o\0n\0e\0t\0w\0o\0", 12)}};
    for (const TCase& c : cases) {
        TRDMemoryStream text;
        ASSERT_TRUE(c.Wide ? copy.SaveTextToStreamW(QString(), text, 80, false, true)
                           : copy.SaveTextToStream(QString(), text, 80, false, true));
        QByteArray bytes(int(text.Size()), 0);
        text.SetPosition(0);
        text.ReadBuffer(bytes.data(), bytes.size());
        EXPECT_TRUE(bytes.startsWith(c.Expected)) << bytes.toHex().constData();
    }
}

TEST(RDRichDoc, AssignEventsTakesTheOtherViewersHandlers)
{
    TRichDoc table, cell;
    int jumps = 0;
    table.OnJump = [&](QObject*, int) { ++jumps; };
    table.OnURLNeeded = [](TCustomRichDoc*, int, QString& url) { url = QStringLiteral("x"); };
    cell.AssignEvents(table);
    cell.DocumentData()->DoJump(1);
    EXPECT_EQ(jumps, 1);
    EXPECT_EQ(cell.DocumentData()->DoUrlNeeded(1), QStringLiteral("x"));
    EXPECT_FALSE(cell.OnPaint);
}
