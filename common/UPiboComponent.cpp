#include "UPiboComponent.h"

#include "AnsiText.h"

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
    update();
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

TPiboWinControl::TPiboWinControl(QWidget* parent, int width, int height) : QWidget(parent)
{
    resize(width, height);
    FPaintBox = new TPaintBox(this);
    FPaintBox->SetAlignClient(true);
    FPaintBox->OnPaint = [this](TCanvas& canvas) { PaintBoxPaint(canvas); };
    FPaintBox->OnClick = [this] { Click(); };
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

QString TPiboMainButton::CurrentPictureRole() const
{
    if (FPressed)
        return QStringLiteral("down");
    if (FMouseOver)
        return QStringLiteral("hover");
    return QStringLiteral("normal");
}

const TBitmap& TPiboMainButton::CurrentPicture() const
{
    if (FPressed)
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
}

void TPiboCheckBox::Click()
{
    SetChecked(!FChecked);  // draws the new state at once
    if (OnClick)
        OnClick();
}
