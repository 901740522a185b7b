#include "UPiboComponent.h"

#include "AnsiText.h"
#include "UCommonFun.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>

#include <array>

// ===========================================================================
// Skinned buttons
// ===========================================================================

namespace {

// The resource names of a speed button kind's pictures. The down picture is
// always the normal one.
struct TSpeedButtonPictures {
    const char* Normal;
    const char* Disabled;
    const char* Hover;
};

// Indexed by TPiboSpeedButtonType. An empty name stands for the normal picture.
constexpr std::array<TSpeedButtonPictures, psbtCheckButton + 1> SpeedButtonPictures = {{
    {"SpeedButtonNormalBG_AddSentence", "SpeedButtonEnabledBG_AddSentence", ""},
    {"SpeedButtonNormalBG_Play", "SpeedButtonEnabledBG_Play", ""},
    {"SpeedButtonNormalBG_Stop", "SpeedButtonEnabledBG_Stop", ""},
    {"SpeedButtonNormalBG_Pause", "SpeedButtonEnabledBG_Pause", ""},
    {"SpeedButtonNormalBG_Start", "SpeedButtonEnabledBG_Start", ""},
    {"SpeedButtonNormalBG_End", "SpeedButtonEnabledBG_End", ""},
    {"SpeedButtonNormalBG_ReStart", "SpeedButtonEnabledBG_ReStart", ""},
    {"SpeedButtonNormalBG_Again", "SpeedButtonEnabledBG_Again", ""},
    {"SpeedButtonNormalBG_China", "SpeedButtonEnabledBG_China", ""},
    {"SpeedButtonNormalBG_English", "SpeedButtonEnabledBG_English", ""},
    {"SpeedButtonNormalBG_Sound", "SpeedButtonEnabledBG_Sound", ""},
    {"FormCloseNormal", "", ""},
    {"FormMaxNormal", "", ""},
    {"FormNormalNormal", "", ""},
    {"FormMinNormal", "", ""},
    {"ShowInfoButtonNormal", "ShowInfoButtonEnabled", "ShowInfoButtonMove"},
    {"LoginButtonNormal", "", "LoginButtonMove"},
    {"RecordNormal", "", "RecordMove"},
    {"NoRecordNormal", "", "NoRecordMove"},
    {"RecordButtonNormal", "RecordButtonEnabled", "RecordButtonMove"},
    {"RecordListenNormal", "RecordListenEnabled", ""},
    {"RecordSpeakNormal", "RecordSpeakEnabled", ""},
    {"RecordTransferNormal", "RecordTransferEnabled", ""},
    {"RecordSentenceNormal", "RecordSentenceEnabled", ""},
    {"StudyRecordDeleteNormal", "", ""},
    {"WorkFileOpenNormal", "", "WorkFileOpenMove"},
    {"WorkPlayNormal", "WorkPlayEnabled", "WorkPlayMove"},
    {"WorkPauseNormal", "WorkPauseEnabled", "WorkPauseMove"},
    {"WorkStopNormal", "WorkStopEnabled", "WorkStopMove"},
    {"WorkQuickNormal", "WorkQuickEnabled", "WorkQuickMove"},
    {"WorkSlowNormal", "WorkSlowEnabled", "WorkSlowMove"},
    {"WorkAddNormal", "", "WorkAddMove"},
    {"WorkEditNormal", "", "WorkEditMove"},
    {"WorkDeleteNormal", "", "WorkDeleteMove"},
    {"WorkUndoNormal", "WorkUndoEnabled", "WorkUndoMove"},
    {"WorkRedoNormal", "WorkRedoEnabled", "WorkRedoMove"},
    {"WorkSaveNormal", "", "WorkSaveMove"},
    {"TransAddNormal", "", "TransAddMove"},
    {"TransLButtonNormal", "TransLButtonEnabled", "TransLButtonMove"},
    {"TansRightNormal", "", "TansRightMove"},
    {"TansWrongNormal", "", "TansWrongMove"},
    {"CheckButtonNormal", "", "CheckButtonMove"},
}};

QString PictureName(const char* name, const char* normal)
{
    return QString::fromLatin1(*name ? name : normal);
}

// Kinds whose click still goes through while ButtonEnabled is off.
bool ClicksWhenDisabled(TPiboSpeedButtonType kind)
{
    return kind == psbtChina || kind == psbtEnglish || kind == psbtSound || kind == psbtRecordListen;
}

// The windowed buttons draw on one child paint box that covers them. Widgets
// paint through a back buffer, so the repaints on mouse moves do not flicker.

// The keyboard focus of a skinned control: a dotted frame just inside it.
void DrawFocusFrame(QWidget* control, TCanvas& canvas)
{
    if (!control->hasFocus())
        return;
    QPainter& painter = canvas.Painter();
    painter.save();
    QPen pen(Qt::black);
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(0, 0, control->width(), control->height()).adjusted(1, 1, -2, -2));
    painter.restore();
}

bool IsSpaceKey(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Space && !event->isAutoRepeat() &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

// ---------------------------------------------------------------------------
// TPiboSpeedButton
// ---------------------------------------------------------------------------

TPiboSpeedButton::TPiboSpeedButton(QWidget* parent) : TPaintBox(parent)
{
    resize(16, 16);
    Font.Name = QStringLiteral("宋体");
    Font.Size = 9;
    Font.Color = clWhite;
    setCursor(Qt::PointingHandCursor);
    // Keeps the size layouts give it; Tab reaches it, a click leaves the
    // focus where it was.
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    for (TBitmap* picture : {&FNormalPicture, &FHoverPicture, &FDownPicture, &FDisabledPicture}) {
        picture->SetTransparentColor(clFuchsia);
        picture->SetTransparent(true);
    }
}

void TPiboSpeedButton::SetPiboSpeedButtonType(TPiboSpeedButtonType value)
{
    FPiboSpeedButtonType = value;
    FNormalPicture.Clear();
    FDisabledPicture.Clear();
    const TSpeedButtonPictures& names = SpeedButtonPictures.at(static_cast<std::size_t>(value));
    FNormalPicture.LoadFromResourceName(PictureName(names.Normal, names.Normal));
    FDisabledPicture.LoadFromResourceName(PictureName(names.Disabled, names.Normal));
    FHoverPicture.LoadFromResourceName(PictureName(names.Hover, names.Normal));
    FDownPicture.LoadFromResourceName(PictureName(names.Normal, names.Normal));
    resize(FNormalPicture.Width(), FNormalPicture.Height());
    updateGeometry();
    update();
}

QSize TPiboSpeedButton::sizeHint() const
{
    QSize size = FNormalPicture.Empty() ? QSize(16, 16) : QSize(FNormalPicture.Width(), FNormalPicture.Height());
    if (!FCaption.isEmpty())
        size = size.expandedTo(QSize(TextWidthOf(Font, FCaption) + 4, TextHeightOf(Font, FCaption) + 2));
    return size;
}

QSize TPiboSpeedButton::minimumSizeHint() const
{
    return sizeHint();
}

void TPiboSpeedButton::keyPressEvent(QKeyEvent* event)
{
    if (IsSpaceKey(event)) {
        event->accept();
        Click();
        return;
    }
    TPaintBox::keyPressEvent(event);
}

void TPiboSpeedButton::SetButtonEnabled(bool value)
{
    if (value == FButtonEnabled)
        return;
    FButtonEnabled = value;
    update();
}

void TPiboSpeedButton::SetCaption(const QString& value)
{
    if (value == FCaption)
        return;
    FCaption = value;
    updateGeometry();
    update();
}

QString TPiboSpeedButton::CurrentPictureRole() const
{
    // The disabled look wins over pressed, pressed over hover.
    if (!FButtonEnabled)
        return QStringLiteral("disabled");
    if (FPressed)
        return QStringLiteral("down");
    if (FMouseOver)
        return QStringLiteral("hover");
    return QStringLiteral("normal");
}

const TBitmap& TPiboSpeedButton::CurrentPicture() const
{
    if (!FButtonEnabled)
        return FDisabledPicture;
    if (FPressed)
        return FDownPicture;
    if (FMouseOver)
        return FHoverPicture;
    return FNormalPicture;
}

void TPiboSpeedButton::Paint(TCanvas& canvas)
{
    canvas.Draw(0, 0, CurrentPicture());
    canvas.BrushStyle = TBrushStyle::Clear;
    canvas.Font = Font;
    if (!FCaption.isEmpty())
        canvas.TextOut(RoundHalfEven((width() - canvas.TextWidth(FCaption)) / 2.0),
                       RoundHalfEven((height() - canvas.TextHeight(FCaption)) / 2.0), FCaption);
    DrawFocusFrame(this, canvas);
    TPaintBox::Paint(canvas);
}

void TPiboSpeedButton::MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (button == TMouseButton::Left) {
        FPressed = true;
        update();
    }
    TPaintBox::MouseDown(button, shift, x, y);
}

void TPiboSpeedButton::MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    if (button == TMouseButton::Left && FPressed) {
        FPressed = false;
        update();
    }
    TPaintBox::MouseUp(button, shift, x, y);
}

void TPiboSpeedButton::MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    FMouseOver = true;
    update();
    TPaintBox::MouseMove(shift, x, y);
}

void TPiboSpeedButton::MouseLeave()
{
    TPaintBox::MouseLeave();
    if (FMouseOver) {
        FMouseOver = false;
        update();
    }
}

void TPiboSpeedButton::Click()
{
    if (FButtonEnabled || ClicksWhenDisabled(FPiboSpeedButtonType))
        TPaintBox::Click();
}

// ---------------------------------------------------------------------------
// TPiboWinControl
// ---------------------------------------------------------------------------

TPiboWinControl::TPiboWinControl(QWidget* parent, int width, int height)
    : QWidget(parent), FDesignSize(width, height)
{
    resize(width, height);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    FPaintBox = new TPaintBox(this);
    FPaintBox->SetAlignClient(true);
    FPaintBox->OnPaint = [this](TCanvas& canvas) { PaintBoxPaint(canvas); };
    FPaintBox->OnClick = [this] { Click(); };
}

void TPiboWinControl::SetWidth(int value)
{
    FDesignSize.setWidth(value);
    resize(value, height());
    updateGeometry();
}

void TPiboWinControl::SetHeight(int value)
{
    FDesignSize.setHeight(value);
    resize(width(), value);
    updateGeometry();
}

void TPiboWinControl::Click()
{
    if (OnClick)
        OnClick();
}

// ---------------------------------------------------------------------------
// TPiboPageButton
// ---------------------------------------------------------------------------

QStringList PageButtonCaptionLines(const QString& caption)
{
    const QByteArray bytes = StringToAnsi(caption);
    QStringList lines;
    for (qsizetype i = 0; i < bytes.size() / 2; ++i)
        lines.append(AnsiToString(bytes.mid(2 * i, 2)));
    return lines;
}

TPiboPageButton::TPiboPageButton(QWidget* parent) : TPiboWinControl(parent, 26, 88)
{
    FUpTop.LoadFromResourceName(QStringLiteral("PageButtonUpTopBG"));
    FUpBottom.LoadFromResourceName(QStringLiteral("PageButtonUpBottomBG"));
    FUpCenter.LoadFromResourceName(QStringLiteral("PageButtonUpCenterBG"));
    FDownTop.LoadFromResourceName(QStringLiteral("PageButtonDownTopBG"));
    FDownBottom.LoadFromResourceName(QStringLiteral("PageButtonDownBottomBG"));
    FDownCenter.LoadFromResourceName(QStringLiteral("PageButtonDownCenterBG"));
}

void TPiboPageButton::SetCaption(const QString& value)
{
    if (value == FCaption)
        return;
    FCaption = value;
    FPaintBox->update();
}

void TPiboPageButton::SetSelected(bool value)
{
    if (value == FSelected)
        return;
    FSelected = value;
    FPaintBox->update();
}

void TPiboPageButton::SetPageButtonType(TPageButtonType value)
{
    if (value == FPageButtonType)
        return;
    FPageButtonType = value;
    FPaintBox->update();
}

void TPiboPageButton::PaintBoxPaint(TCanvas& canvas)
{
    const int boxHeight = FPaintBox->height();
    const TBitmap& top = FSelected ? FDownTop : FUpTop;
    const TBitmap& center = FSelected ? FDownCenter : FUpCenter;
    const TBitmap& bottom = FSelected ? FDownBottom : FUpBottom;
    canvas.Draw(0, 0, top);
    canvas.StretchDraw(Rect(0, top.Height(), 26, boxHeight - bottom.Height()), center);
    canvas.Draw(0, boxHeight - bottom.Height(), bottom);

    // The icon is read at every paint. A paint handler cannot hand an exception
    // on through the event loop, so a missing icon is simply not drawn.
    static const char* const iconNames[] = {"PageButtonKeJian", "PageButtonMedia", "PageButtonRecent"};
    TBitmap icon;
    try {
        icon.LoadFromResourceName(QString::fromLatin1(iconNames[FPageButtonType]));
    } catch (const EResNotFound&) {
        icon.Clear();
    }
    icon.SetTransparent(true);
    canvas.StretchDraw(Rect(3, 5, 3 + icon.Width(), 5 + icon.Height()), icon);

    canvas.Font.Size = 9;
    canvas.Font.Name = QStringLiteral("宋体");
    canvas.Font.Bold = true;
    canvas.BrushStyle = TBrushStyle::Clear;
    canvas.Font.Color = FSelected ? TColor(0xC8820D) : clWhite;
    const int lineHeight = canvas.TextHeight(FCaption) + 2;
    const QStringList lines = PageButtonCaptionLines(FCaption);
    for (qsizetype i = 0; i < lines.size(); ++i)
        canvas.TextOut(7, icon.Height() + 8 + static_cast<int>(i) * lineHeight, lines.at(i));
}

// ---------------------------------------------------------------------------
// TPiboMainButton
// ---------------------------------------------------------------------------

TPiboMainButton::TPiboMainButton(QWidget* parent) : TPiboWinControl(parent, 96, 36)
{
    FPaintBox->OnMouseDown = [this](TMouseButton button, Qt::KeyboardModifiers, int, int) {
        PaintBoxMouseDown(button);
    };
    FPaintBox->OnMouseUp = [this](TMouseButton button, Qt::KeyboardModifiers, int, int) {
        PaintBoxMouseUp(button);
    };
    FPaintBox->OnMouseMove = [this](Qt::KeyboardModifiers, int, int) { PaintBoxMouseMove(); };
    FPaintBox->OnMouseLeave = [this] { PaintBoxMouseLeave(); };
}

void TPiboMainButton::SetCaption(const QString& value)
{
    if (value == FCaption)
        return;
    FCaption = value;
    FPaintBox->update();
}

void TPiboMainButton::SetMainButtonType(TMainButtonType value)
{
    static const char* const kindNames[] = {"LiuLan", "DanJu", "ZiYou", "KouYu", "FanYi", "ChengJi", "ZhiZuo"};
    FMainButtonType = value;
    FNormalPicture.Clear();
    FHoverPicture.Clear();
    FDownPicture.Clear();
    const QString kind = QString::fromLatin1(kindNames[value]);
    FNormalPicture.LoadFromResourceName(QStringLiteral("MainButtonLeftBG_") + kind);
    FHoverPicture.LoadFromResourceName(QStringLiteral("MainButtonMoveLeftBG_") + kind);
    FDownPicture.LoadFromResourceName(QStringLiteral("MainButtonDownLeftBG_") + kind);
    FPaintBox->update();
}

void TPiboMainButton::SetDown(bool value)
{
    if (value == FDown)
        return;
    FDown = value;
    FPaintBox->update();
}

QString TPiboMainButton::CurrentPictureRole() const
{
    if (FPressed || FDown)
        return QStringLiteral("down");
    if (FMouseOver)
        return QStringLiteral("hover");
    return QStringLiteral("normal");
}

const TBitmap& TPiboMainButton::CurrentPicture() const
{
    if (FPressed || FDown)
        return FDownPicture;
    if (FMouseOver)
        return FHoverPicture;
    return FNormalPicture;
}

void TPiboMainButton::PaintBoxPaint(TCanvas& canvas)
{
    const TBitmap& picture = CurrentPicture();
    if (!picture.Empty())
        canvas.Painter().drawImage(QPoint(0, 0), picture.Image(), QRect(0, 0, 96, 36));
    canvas.Font.Size = 9;
    canvas.Font.Name = QStringLiteral("宋体");
    canvas.Font.Color = clWhite;
    canvas.BrushStyle = TBrushStyle::Clear;
    canvas.TextOut(38, RoundHalfEven((36 - canvas.TextHeight(FCaption)) / 2.0), FCaption);
}

void TPiboMainButton::PaintBoxMouseDown(TMouseButton button)
{
    if (button != TMouseButton::Left)
        return;
    FPressed = true;
    FPaintBox->update();
}

void TPiboMainButton::PaintBoxMouseUp(TMouseButton button)
{
    if (button != TMouseButton::Left || !FPressed)
        return;
    FPressed = false;
    FPaintBox->update();
}

void TPiboMainButton::PaintBoxMouseMove()
{
    // The paint box's leave notification ends the hover look.
    FMouseOver = true;
    FPaintBox->update();
}

void TPiboMainButton::PaintBoxMouseLeave()
{
    if (!FMouseOver)
        return;
    FMouseOver = false;
    FPaintBox->update();
}

// ---------------------------------------------------------------------------
// TPiboCheckBox
// ---------------------------------------------------------------------------

TPiboCheckBox::TPiboCheckBox(QWidget* parent) : TPiboWinControl(parent, 13, 13)
{
    setFocusPolicy(Qt::TabFocus);
    FPaintBox->OnMouseDown = [this](TMouseButton button, Qt::KeyboardModifiers, int, int) {
        if (button == TMouseButton::Left)
            FPaintBox->update();
    };
    FCheckedPicture.LoadFromResourceName(QStringLiteral("CheckBoxCheckedBG"));
    FNotCheckedPicture.LoadFromResourceName(QStringLiteral("CheckBoxNotCheckedBG"));
}

void TPiboCheckBox::SetChecked(bool value)
{
    if (value == FChecked)
        return;
    FChecked = value;
    FPaintBox->repaint();
}

void TPiboCheckBox::PaintBoxPaint(TCanvas& canvas)
{
    const TBitmap& picture = FChecked ? FCheckedPicture : FNotCheckedPicture;
    if (!picture.Empty())
        canvas.Painter().drawImage(QPoint(0, 0), picture.Image(), QRect(0, 0, 13, 13));
    DrawFocusFrame(this, canvas);
}

void TPiboCheckBox::keyPressEvent(QKeyEvent* event)
{
    if (IsSpaceKey(event)) {
        event->accept();
        Click();
        return;
    }
    TPiboWinControl::keyPressEvent(event);
}

void TPiboCheckBox::Click()
{
    SetChecked(!FChecked);  // draws the new state at once
    if (OnClick)
        OnClick();
}

// ===========================================================================
// Word tiles, seek bar and volume control
// ===========================================================================

namespace {

constexpr int WordGap = 8;  // pixels between two tiles on a line

// The filled and the rest width of a bar for a position: nothing filled at
// 0, the range mapped onto the width above 0, both 0 below. An empty range
// maps nothing: the widths stay as they are.
void MapPosition(int position, int min, int max, int width, int& filled, int& rest)
{
    if (position > 0 && max == min)
        return;
    filled = 0;
    rest = 0;
    if (position == 0) {
        rest = width;
    } else if (position > 0) {
        filled = RoundHalfEven(static_cast<double>(position - min) / (max - min) * width);
        rest = width - filled;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// TPiboWordOperate
// ---------------------------------------------------------------------------

TPiboWordOperate::TPiboWordOperate(QWidget* parent) : TPaintBox(parent)
{
    resize(200, 16);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
}

TFont TPiboWordOperate::MeasureFont() const
{
    // The layout measures with the name and size of Font only.
    TFont font;
    font.Name = Font.Name;
    font.Size = Font.Size;
    return font;
}

void TPiboWordOperate::SetText(const QString& value)
{
    if (value == FText)
        return;
    FText = value;
    LayoutWords();
    if (!FWordItems.isEmpty())
        FWordItems.last().Tag = FPendingTag;
    update();
}

void TPiboWordOperate::PlaceTiles(const QList<int>& indexes, const TFont& font)
{
    int line = 0;
    int x = 0;
    int previousRight = 0;
    const int width = this->width();
    for (const int i : indexes) {
        TPiboWordItem& item = FWordItems[i];
        const int h = TextHeightOf(font, item.Word);
        const int w = TextWidthOf(font, item.Word);
        // The gap does not count in the wrap test.
        if (x + w > width) {
            ++line;
            x = 0;
        }
        if (x > 0) {
            item.Rect.Left = previousRight + WordGap;
            x += w + WordGap;
        } else {
            item.Rect.Left = 0;
            x += w;
        }
        item.Rect.Right = item.Rect.Left + w;
        item.Rect.Top = h * line;
        item.Rect.Bottom = item.Rect.Top + h;
        previousRight = item.Rect.Right;
    }
}

void TPiboWordOperate::LayoutWords()
{
    FWordItems.clear();
    QStringList words;
    SplitString(FText, QStringLiteral(" "), words);
    const TFont font = MeasureFont();
    const int count = static_cast<int>(words.size());
    FTotalWidth = TextWidthOf(font, FText) + WordGap * count - WordGap;
    const int width = this->width();
    if (width <= 0) {
        // Without a width there is nothing to lay out.
        FLineCount = 0;
        return;
    }
    FLineCount = FTotalWidth / width + (FTotalWidth % width > 0 ? 1 : 0);
    resize(width, TextHeightOf(font, FText) * FLineCount);
    QList<int> indexes;
    for (int i = 0; i < count; ++i) {
        FWordItems.append(TPiboWordItem{words.at(i), TRect(), true, 0});
        indexes.append(i);
    }
    PlaceTiles(indexes, font);
}

void TPiboWordOperate::LayoutVisibleWords()
{
    const TFont font = MeasureFont();
    QStringList words;
    QList<int> indexes;
    for (int i = 0; i < FWordItems.size(); ++i)
        if (FWordItems.at(i).Visible) {
            words.append(FWordItems.at(i).Word);
            indexes.append(i);
        }
    const QString joined = words.join(QLatin1Char(' '));
    const int count = static_cast<int>(indexes.size());
    FTotalWidth = TextWidthOf(font, joined) + WordGap * count - WordGap;
    const int width = this->width();
    if (width <= 0)
        return;  // the tiles stay as they are
    FLineCount = FTotalWidth / width + (FTotalWidth % width > 0 ? 1 : 0);
    resize(width, TextHeightOf(font, joined) * FLineCount);
    PlaceTiles(indexes, font);
}

void TPiboWordOperate::AddWord(const QString& word, qint32 tag)
{
    FPendingTag = tag;
    QList<qint32> tags;
    for (const TPiboWordItem& item : FWordItems)
        tags.append(item.Tag);
    SetText(FText + QLatin1Char(' ') + word);
    for (int i = 0; i < tags.size() && i < FWordItems.size(); ++i)
        FWordItems[i].Tag = tags.at(i);
}

void TPiboWordOperate::DeleteWord(int index)
{
    if (index < 0 || index >= FWordItems.size())
        return;
    QStringList words;
    QList<qint32> tags;
    for (int i = 0; i < FWordItems.size(); ++i) {
        tags.append(FWordItems.at(i).Tag);
        if (i != index)
            words.append(FWordItems.at(i).Word);
    }
    SetText(words.join(QLatin1Char(' ')));
    for (int i = 0; i < FWordItems.size(); ++i) {
        const int from = i < index ? i : i + 1;
        if (from < tags.size())
            FWordItems[i].Tag = tags.at(from);
    }
}

void TPiboWordOperate::Shuffle()
{
    const int count = static_cast<int>(FWordItems.size());
    if (count == 0)
        return;
    TIntAry order;
    for (int i = 0; i < count; ++i)
        order.append(i);
    RandomizeIntArray(order);
    const TPiboWordItems old = FWordItems;
    QStringList words;
    for (int i = 0; i < count; ++i) {
        FWordItems[i].Word = old.at(order.at(i)).Word;
        FWordItems[i].Rect = old.at(order.at(i)).Rect;
        words.append(FWordItems.at(i).Word);
    }
    SetText(words.join(QLatin1Char(' ')));
}

void TPiboWordOperate::SetWordVisible(int index, bool visible)
{
    if (index < 0 || index >= FWordItems.size())
        return;
    FWordItems[index].Visible = visible;
    FWordItems[index].Rect = TRect();
    LayoutVisibleWords();
    update();
}

qint32 TPiboWordOperate::GetWordTag(int index) const
{
    if (index < 0 || index >= FWordItems.size())
        return 0;
    return FWordItems.at(index).Tag;
}

void TPiboWordOperate::Paint(TCanvas& canvas)
{
    canvas.BrushStyle = TBrushStyle::Clear;
    for (int i = 0; i < FWordItems.size(); ++i) {
        const TPiboWordItem& item = FWordItems.at(i);
        if (!item.Visible)
            continue;
        const TFont& from = FHover && i == FMoveIndex ? FMoveFont : Font;
        canvas.Font.Size = from.Size;
        canvas.Font.Name = from.Name;
        canvas.Font.Color = from.Color;
        canvas.TextOut(item.Rect.Left, item.Rect.Top, item.Word);
    }
    TPaintBox::Paint(canvas);
}

void TPiboWordOperate::MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    FMoveIndex = -1;
    for (int i = 0; i < FWordItems.size(); ++i) {
        const TPiboWordItem& item = FWordItems.at(i);
        if (item.Visible && item.Rect.Left <= x && x <= item.Rect.Right && item.Rect.Top <= y &&
            y <= item.Rect.Bottom) {
            FMoveIndex = i;
            break;
        }
    }
    FHover = true;
    update();
    TPaintBox::MouseMove(shift, x, y);
}

void TPiboWordOperate::MouseLeave()
{
    if (FHover) {
        FHover = false;
        update();
    }
    TPaintBox::MouseLeave();
}

// ---------------------------------------------------------------------------
// TPiboProgressBar
// ---------------------------------------------------------------------------

namespace {

constexpr int BarHeight = 17;
constexpr TColor MarkColor = clRed;

}  // namespace

TPiboProgressBar::TPiboProgressBar(QWidget* parent) : TPiboWinControl(parent, 300, BarHeight)
{
    FBlock.LoadFromResourceName(QStringLiteral("ProgressBlockBG"));
    FCross.LoadFromResourceName(QStringLiteral("ProgressCrossBG"));
    FNotCross.LoadFromResourceName(QStringLiteral("ProgressNotCrossBG"));
    for (TBitmap* picture : {&FBlock, &FCross, &FNotCross})
        picture->SetTransparent(true);
    FPaintBox->setCursor(Qt::PointingHandCursor);
    FPaintBox->OnMouseDown = [this](TMouseButton button, Qt::KeyboardModifiers, int x, int y) {
        PaintBoxMouseDown(button, x, y);
    };
    FPaintBox->OnMouseMove = [this](Qt::KeyboardModifiers, int x, int) { PaintBoxMouseMove(x); };
    FPaintBox->OnMouseUp = [this](TMouseButton, Qt::KeyboardModifiers, int, int) { FDragging = false; };
    MapPosition(FPosition, FMin, FMax, Width(), FPlayed, FRest);
    CalcThumb();
}

void TPiboProgressBar::CalcThumb()
{
    const int thumbWidth = FBlock.Empty() ? 10 : FBlock.Width();
    if (thumbWidth < FPlayed)
        FThumb = Rect(FPlayed - thumbWidth + 1, 0, FPlayed, BarHeight);
    else
        FThumb = Rect(0, 0, thumbWidth, BarHeight);
}

int TPiboProgressBar::PositionOfPixels(int pixels) const
{
    return RoundHalfEven(static_cast<double>(pixels) / Width() * FMax);
}

void TPiboProgressBar::PositionChanged()
{
    if (OnPositionChange)
        OnPositionChange();
}

void TPiboProgressBar::SetPosition(int value)
{
    FPosition = value;
    MapPosition(FPosition, FMin, FMax, Width(), FPlayed, FRest);
    CalcThumb();
    PositionChanged();
    FPaintBox->update();
}

void TPiboProgressBar::SetMax(int value)
{
    if (value == FMax)
        return;
    FMax = value;
    FPosition = 0;
    PositionChanged();
    FPaintBox->update();
}

void TPiboProgressBar::SetMin(int value)
{
    if (value == FMin)
        return;
    FMin = value;
    FPosition = 0;
    PositionChanged();
    FPaintBox->update();
}

void TPiboProgressBar::SetStartMark(int value)
{
    if (value == FStartMark)
        return;
    FStartMark = value;
    FPaintBox->update();
}

void TPiboProgressBar::SetEndMark(int value)
{
    if (value == FEndMark)
        return;
    FEndMark = value;
    FPaintBox->update();
}

void TPiboProgressBar::SetMarked(bool value)
{
    if (value == FMarked)
        return;
    FMarked = value;
    FPaintBox->update();
}

void TPiboProgressBar::PaintBoxPaint(TCanvas& canvas)
{
    const int width = Width();
    if (FPlayed > 0)
        canvas.StretchDraw(Rect(0, 0, FThumb.left() + FThumb.width(), BarHeight), FCross);
    if (FRest > 0)
        canvas.StretchDraw(Rect(FThumb.left() + FThumb.width(), 0, width, BarHeight), FNotCross);
    canvas.StretchDraw(FThumb, FBlock);
    if (FMarked && FMax != 0) {
        canvas.PenColor = MarkColor;
        canvas.BrushColor = MarkColor;
        for (const int mark : {FStartMark, FEndMark})
            if (mark >= 0) {
                const int x = RoundHalfEven(static_cast<double>(mark) / FMax * width);
                canvas.Rectangle(Rect(x, 0, x + 1, height()));
            }
    }
}

void TPiboProgressBar::Click()
{
    // The click of the track fires on the press; a release (also the end of
    // a drag) fires nothing.
}

void TPiboProgressBar::PaintBoxMouseDown(TMouseButton button, int x, int y)
{
    if (button != TMouseButton::Left)
        return;
    const int width = Width();
    if (PointInRect(x, y, FThumb)) {
        FDragging = true;
        FDragX = x;
        return;
    }
    if (!PointInRect(x, y, Rect(0, 0, width, height())))
        return;
    const int thumbWidth = FBlock.Empty() ? 10 : FBlock.Width();
    // A press near the right end seeks to the end, not past it.
    FPlayed = std::min(width, x + RoundHalfEven(thumbWidth / 2.0));
    FRest = width - FPlayed;
    FPosition = std::min(FMax, PositionOfPixels(FPlayed));
    if (OnClick)
        OnClick();
    PositionChanged();
    CalcThumb();
    FPaintBox->update();
}

void TPiboProgressBar::PaintBoxMouseMove(int x)
{
    if (!FDragging)
        return;
    const int width = Width();
    const int played = FPlayed + x - FDragX;
    if (played <= 0) {
        FPlayed = 0;
        FRest = width;
        FPosition = 0;
    } else if (played >= width) {
        FPlayed = width;
        FRest = 0;
        FPosition = FMax;
    } else {
        FPlayed = played;
        FRest = width - played;
        FPosition = PositionOfPixels(played);
    }
    PositionChanged();
    FDragX = x;
    CalcThumb();
    FPaintBox->update();
}

// ---------------------------------------------------------------------------
// TPiboSoundVolume
// ---------------------------------------------------------------------------

namespace {

constexpr int VolumeHeight = 7;
constexpr TColor VolumeBorderColor = 0xF1D1A6;

}  // namespace

TPiboSoundVolume::TPiboSoundVolume(QWidget* parent) : TPiboWinControl(parent, 50, VolumeHeight)
{
    FCross.LoadFromResourceName(QStringLiteral("SoundVolumeCrossBG"));
    FNotCross.LoadFromResourceName(QStringLiteral("SoundVolumeNotCrossBG"));
    FPaintBox->setCursor(Qt::PointingHandCursor);
    FPaintBox->OnMouseDown = [this](TMouseButton button, Qt::KeyboardModifiers, int x, int) {
        const int width = Width();
        if (button != TMouseButton::Left || width <= 0)
            return;
        FFill = std::clamp(x, 0, width);
        FRest = width - FFill;
        FPosition = RoundHalfEven(static_cast<double>(FFill) / width * FMax);
        FPaintBox->update();
    };
    MapPosition(FPosition, FMin, FMax, Width(), FFill, FRest);
}

void TPiboSoundVolume::SetPosition(int value)
{
    if (value == FPosition)
        return;
    FPosition = value;
    MapPosition(FPosition, FMin, FMax, Width(), FFill, FRest);
    FPaintBox->update();
}

void TPiboSoundVolume::SetMax(int value)
{
    if (value == FMax)
        return;
    FMax = value;
    FPosition = 0;
    FPaintBox->update();
}

void TPiboSoundVolume::SetMin(int value)
{
    if (value == FMin)
        return;
    FMin = value;
    FPosition = 0;
    FPaintBox->update();
}

void TPiboSoundVolume::PaintBoxPaint(TCanvas& canvas)
{
    const int width = Width();
    const int height = this->height();
    canvas.PenColor = VolumeBorderColor;
    if (FFill <= 0) {
        canvas.MoveTo(0, 0);
        canvas.LineTo(0, height - 1);
    } else {
        canvas.StretchDraw(Rect(0, 0, FFill, VolumeHeight), FCross);
    }
    if (FRest > 0) {
        canvas.StretchDraw(Rect(FFill, 0, width, VolumeHeight), FNotCross);
        canvas.MoveTo(width - 1, 0);
        canvas.LineTo(width - 1, height - 1);
    }
}
