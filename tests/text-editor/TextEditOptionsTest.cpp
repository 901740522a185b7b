// The editor's settings objects, fold ranges, marks and method chains.

#include "TextEditFolding.h"
#include "TextEditMarks.h"
#include "TextEditOptions.h"

#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <gtest/gtest.h>

#include <stdexcept>

TEST(TextEditOptions, GutterClampsAndFitsItsDigits)
{
    TTextGutter gutter;
    int changes = 0;
    gutter.OnChange = [&](TTextPersistent*) { ++changes; };
    gutter.SetDigitCount(20);
    EXPECT_EQ(gutter.DigitCount(), 12);
    gutter.SetDigitCount(0);
    EXPECT_EQ(gutter.DigitCount(), 2);
    gutter.SetLeftOffset(-3);
    gutter.SetWidth(-1);
    gutter.SetGradientSteps(1);
    EXPECT_EQ(gutter.LeftOffset(), 0);
    EXPECT_EQ(gutter.Width(), 0);
    EXPECT_EQ(gutter.GradientSteps(), 2);

    TTextGutter fitted;
    fitted.SetAutoSize(true);
    fitted.SetShowLineNumbers(true);
    fitted.SetDigitCount(2);
    fitted.FitDigitCount(1500);
    EXPECT_EQ(fitted.FittedDigitCount(), 4);
    EXPECT_EQ(fitted.PaintedWidth(8), 16 + 2 + 32 + 4);
    fitted.SetVisible(false);
    EXPECT_EQ(fitted.PaintedWidth(8), 0);

    TTextGutter numbers;
    numbers.SetLineNumberStart(-3);
    EXPECT_EQ(numbers.LineNumberStart(), 0);
    EXPECT_TRUE(numbers.ZeroStart());
    EXPECT_EQ(numbers.LineNumberText(1), QStringLiteral("   0"));
    numbers.SetLeadingZeros(true);
    numbers.SetLineNumberStart(1);
    EXPECT_EQ(numbers.LineNumberText(7), QStringLiteral("0007"));
    numbers.SetLineNumberStart(10);
    EXPECT_EQ(numbers.LineNumberText(1), QStringLiteral("0010"));

    // The border style notifies even when unchanged; a plain field never does.
    changes = 0;
    gutter.SetBorderStyle(gutter.BorderStyle());
    gutter.SetCursor(5);
    EXPECT_EQ(changes, 1);
}

TEST(TextEditOptions, AssignChecksTheClassAndNotifiesOnce)
{
    TTextRightEdge edge;
    int changes = 0;
    edge.OnChange = [&](TTextPersistent*) { ++changes; };
    edge.SetMouseMove(true);
    EXPECT_EQ(changes, 0);
    TTextRightEdge other;
    other.SetPosition(60);
    edge.Assign(other);
    EXPECT_EQ(edge.Position(), 60);
    EXPECT_FALSE(edge.MouseMove());
    EXPECT_EQ(changes, 1);

    TTextSelectedColor colours;
    EXPECT_THROW(edge.Assign(colours), EConvertError);
    TTextScrollBars bars;
    EXPECT_NO_THROW(bars.Assign(colours));  // scroll bars ignore other classes
    EXPECT_EQ(bars.ScrollBars(), ssBoth);

    TTextGutter a, b;
    b.SetWidth(55);
    b.SetLeftOffsetColor(0x123456);
    a.Assign(b);
    EXPECT_EQ(a.Width(), 55);
    EXPECT_EQ(a.LeftOffsetColor(), clNone);  // not copied
}

TEST(TextEditOptions, CustomScrollBarsAndFolding)
{
    TTextScrollBars bars;
    {
        TTextEditScrollBar vertical;
        bars.SetVertical(&vertical);
        TTextScrollInfo info;
        EXPECT_FALSE(vertical.GetScrollInfo(info));
        vertical.OnGetScrollInfo = [](TTextEditScrollBar*, TTextScrollInfo& i) {
            i.Max = 99;
            return true;
        };
        EXPECT_TRUE(vertical.GetScrollInfo(info));
        EXPECT_EQ(info.Max, 99);
    }
    EXPECT_EQ(bars.Vertical(), nullptr);  // the bar forgot itself

    TTextCodeFolding folding;
    EXPECT_EQ(folding.FolderBarColor(), clDefault);
    EXPECT_NE(folding.FolderBarLinesColor(), clDefault);
    std::vector<TTextCodeFoldingChanges> events;
    folding.OnChange = [&](TTextCodeFoldingChanges e) { events.push_back(e); };
    folding.SetEnabled(false);
    folding.SetCaseSensitive(false);
    folding.SetIndentGuides(true);
    EXPECT_EQ(events, (std::vector<TTextCodeFoldingChanges>{fcEnabled, fcRescan, fcRefresh}));
}

TEST(TextEditOptions, GlyphDrawsTheMiddleRowsOfATallPicture)
{
    QImage picture(4, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 4; ++x)
            picture.setPixel(x, y, qRgb(y, 0, 0));
    TBitmap bitmap;
    bitmap.Assign(picture);
    TTextGlyph glyph;
    glyph.SetGlyph(bitmap);
    EXPECT_EQ(glyph.Width(), 4);
    QImage target(10, 20, QImage::Format_RGB32);
    target.fill(Qt::white);
    {
        QPainter painter(&target);
        TCanvas canvas(painter);
        glyph.Draw(canvas, 0, 0, 10);
    }
    EXPECT_EQ(qRed(target.pixel(0, 0)), 3);
    EXPECT_EQ(qRed(target.pixel(0, 9)), 12);
    EXPECT_EQ(target.pixel(0, 10), qRgb(255, 255, 255));

    TTextWordWrap wrap;  // its indicator is the built-in wrapped-line picture
    EXPECT_GT(wrap.Indicator().Width(), 0);
}

TEST(TextEditFolding, RangesTreeCopyAndHiddenCounts)
{
    auto all = std::make_unique<TTextEditAllFoldRanges>();
    TTextEditFoldRange* top = all->NewRange(*all, 1, 0, 0, nullptr, 30);
    TTextEditFoldRange* child = top->Children.NewRange(*all, 3, 2, 1, nullptr, 10);
    TTextEditFoldRange* grandchild = child->Children.NewRange(*all, 4, 4, 2, nullptr, 6);
    EXPECT_EQ(all->TotalCount(), 3);
    EXPECT_EQ(all->Count(), 1);

    top->HiddenCount = 10;
    child->IsCollapsed = true;
    child->HiddenCount = 3;
    EXPECT_EQ(top->TotalHidden(), 14);

    grandchild->HiddenByLevel = 1;
    top->MarkChildrenHidden(true, 0);
    EXPECT_EQ(grandchild->HiddenByLevel, 1);
    EXPECT_EQ(child->HiddenByLevel, 0);
    EXPECT_TRUE(child->HiddenByParent);

    TTextEditAllFoldRanges copy;
    copy.Assign(*all);
    EXPECT_EQ(copy.TotalCount(), 3);
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.Ranges(0)->Children.Ranges(0)->HiddenCount, 3);
    EXPECT_NE(copy.Ranges(0), top);
    all.reset();  // frees its three ranges once; the copy keeps its own
    EXPECT_EQ(copy.Ranges(0)->Children.Ranges(0)->Children.Ranges(0)->LastLine, 6);
}

TEST(TextEditMarks, MovingAShownMarkNotifiesOldAndNewLine)
{
    TTextEditMark mark;
    mark.SetMarkLine(5);
    mark.SetShown(true);
    std::vector<int> lines;
    mark.OnChange = [&](TTextEditMark* m) { lines.push_back(m->MarkLine()); };
    mark.SetMarkLine(9);
    EXPECT_EQ(lines, (std::vector<int>{5, 9}));
    lines.clear();
    TTextEditMark fresh;
    fresh.SetShown(true);
    fresh.OnChange = [&](TTextEditMark* m) { lines.push_back(m->MarkLine()); };
    fresh.SetMarkLine(4);
    EXPECT_EQ(lines, (std::vector<int>{4}));

    TTextEditMarkList list;
    int changes = 0;
    list.OnChange = [&](TTextEditMarkList*) { ++changes; };
    for (int i = 0; i < 20; ++i) {
        auto m = std::make_unique<TTextEditMark>();
        m->SetMarkLine(3);
        m->SetPictureIndex(i);
        list.Add(std::move(m));
    }
    TTextEditMarkList::TMarksOfLine marks;
    list.MarksOfLine(3, marks);
    EXPECT_EQ(marks[16]->PictureIndex(), 16);
    list.MarksOfLine(4, marks);
    EXPECT_EQ(marks[0], nullptr);
    TTextEditMark stranger;
    EXPECT_THROW(list.Remove(&stranger), ETextEditError);
    changes = 0;
    list.RemoveAllMarks();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list.Count(), 0);
}

TEST(TextEditMarks, BookmarkStripIsSharedAndFreedWithItsLastUser)
{
    EXPECT_EQ(TTextInternalImage::SharedStripCount(), 0);
    {
        TTextInternalImage a(QStringLiteral("TextEditInternalImages"), 10);
        TTextInternalImage b(QStringLiteral("texteditinternalimages"), 10);
        EXPECT_EQ(TTextInternalImage::SharedStripCount(), 1);
        EXPECT_EQ(TTextInternalImage::UseCountOf(QStringLiteral("TextEditInternalImages")), 2);
        EXPECT_EQ(a.Width(), 12);
        {
            TTextInternalImage c(QStringLiteral("TextEditInternalImages"), 10);
        }
        EXPECT_EQ(TTextInternalImage::UseCountOf(QStringLiteral("TextEditInternalImages")), 2);
    }
    EXPECT_EQ(TTextInternalImage::SharedStripCount(), 0);
    EXPECT_THROW(TTextInternalImage(QStringLiteral("NoSuchStrip"), 10), EResNotFound);
    EXPECT_EQ(TTextInternalImage::SharedStripCount(), 0);
}

namespace {
struct TListener {
    std::vector<int>* Calls;
    int Id;
    void Notify(void*) { Calls->push_back(Id); }
    void Fail(void*) { throw std::runtime_error("handler failed"); }
};
}  // namespace

TEST(TextEditMarks, MethodChainsCallEveryHandlerAndReportFailures)
{
    std::vector<int> calls;
    TListener first{&calls, 1}, second{&calls, 2}, third{&calls, 3};
    using H = TTextNotifyEventChain::THandler;
    struct TCase {
        bool HasErrorHandler;
        bool Continue;
        std::vector<int> Expected;
        bool Raises;
    } cases[] = {{true, true, {1, 3}, false}, {true, false, {1}, false}, {false, true, {1}, true}};
    for (const TCase& c : cases) {
        calls.clear();
        TTextNotifyEventChain chain(nullptr);
        chain.Add(Method<void(void*)>(&first, &TListener::Notify));
        chain.Add(Method<void(void*)>(&second, &TListener::Fail));
        chain.Add(Method<void(void*)>(&third, &TListener::Notify));
        if (c.HasErrorHandler)
            chain.OnHandlerError = [&](TTextMethodChain*, const std::exception&, bool& doContinue) {
                doContinue = c.Continue;
            };
        if (c.Raises)
            EXPECT_THROW(chain.FireAll(), std::runtime_error);
        else
            chain.FireAll();
        EXPECT_EQ(calls, c.Expected);
    }
    TTextNotifyEventChain chain(nullptr);
    const H handler = Method<void(void*)>(&first, &TListener::Notify);
    chain.Add(handler);
    chain.Add(handler);
    chain.Remove(handler);
    EXPECT_EQ(chain.Count(), 0);
    try {
        chain.Add(H());
        FAIL();
    } catch (const ETextMethodChain& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("TTextNotifyEventChain.Entry : the parameter `AEvent' must be specified."));
    }
    chain.Add(Method<void(void*)>(&second, &TListener::Fail));
    chain.OnHandlerError = [](TTextMethodChain*, const std::exception&, bool&) { throw 1; };
    EXPECT_THROW(chain.FireAll(), ETextMethodChain);
}
