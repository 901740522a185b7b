#pragma once

// The program's skinned controls. Every picture is a named bitmap resource.

#include "Forms.h"
#include "Graphics.h"

#include <QtCore/QStringList>
#include <QtWidgets/QWidget>

enum TPiboSpeedButtonType {
    psbtAddSentence,
    psbtPlay,
    psbtStop,
    psbtPause,
    psbtStart,
    psbtEnd,
    psbtReStart,
    psbtAgain,
    psbtChina,
    psbtEnglish,
    psbtSound,
    psbtClose,
    psbtMax,
    psbtNormal,
    psbtMin,
    pbstInfoButton,
    pbstLoginButton,
    pbstRecord,
    pbstNoRecord,
    pbstRecordButton,
    psbtRecordListen,
    psbtRecordSpeak,
    psbtRecordTransfer,
    psbtRecordSentence,
    psbtStudyRecordDelete,
    psbtWorkFileOpen,
    psbtWorkPlay,
    psbtWorkPause,
    psbtWorkStop,
    psbtWorkQuick,
    psbtWorkSlow,
    psbtWorkAdd,
    psbtWorkEdit,
    psbtWorkDelete,
    psbtWorkUndo,
    psbtWorkRedo,
    psbtWorkSave,
    psbtTransAdd,
    psbtTransLButton,
    psbtTansRight,
    psbtTansWrong,
    psbtCheckButton,
};

// ---------------------------------------------------------------------------
// Skinned buttons
// ---------------------------------------------------------------------------

// The picture button of every window. Windowless in spirit: a paint box that
// overrides its own painting, mouse and click handling. Its OnClick is the
// paint box's.
class TPiboSpeedButton : public TPaintBox {
    Q_OBJECT
public:
    explicit TPiboSpeedButton(QWidget* parent = nullptr);

    TPiboSpeedButtonType PiboSpeedButtonType() const { return FPiboSpeedButtonType; }
    // Loads the kind's pictures (raises EResNotFound for a missing one) and
    // takes the size of its normal picture; runs in full also for the same kind.
    void SetPiboSpeedButtonType(TPiboSpeedButtonType value);
    bool ButtonEnabled() const { return FButtonEnabled; }
    void SetButtonEnabled(bool value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);

    int Left() const { return x(); }
    void SetLeft(int value) { move(value, y()); }
    int Top() const { return y(); }
    void SetTop(int value) { move(x(), value); }
    int Width() const { return width(); }
    int Height() const { return height(); }

    // The picture the next paint draws: "normal", "hover", "down" or "disabled".
    QString CurrentPictureRole() const;

    // What a layout gives the button: its normal picture's size, wider or
    // higher where the caption needs more room; the size it has before a
    // kind is set when there is no picture. Layouts keep it at that size.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void Paint(TCanvas& canvas) override;
    // Reached with Tab; Space presses the focused button.
    void keyPressEvent(QKeyEvent* event) override;
    void MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseMove(Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseLeave() override;
    void Click() override;

private:
    const TBitmap& CurrentPicture() const;

    TPiboSpeedButtonType FPiboSpeedButtonType = psbtAddSentence;
    bool FButtonEnabled = true;
    QString FCaption;
    TBitmap FNormalPicture, FHoverPicture, FDownPicture, FDisabledPicture;
    bool FMouseOver = false;
    bool FPressed = false;
};

// The windowed pattern of the skinned controls: a control with one child paint
// box covering its client area. All drawing goes to the paint box; a click on
// it runs the control's Click, which fires OnClick.
class TPiboWinControl : public QWidget {
    Q_OBJECT
public:
    int Left() const { return x(); }
    void SetLeft(int value) { move(value, y()); }
    int Top() const { return y(); }
    void SetTop(int value) { move(x(), value); }
    int Width() const { return width(); }
    void SetWidth(int value);
    int Height() const { return height(); }
    void SetHeight(int value);

    TNotifyEvent OnClick;

    TPaintBox* PaintBox() const { return FPaintBox; }

    // What a layout gives the control: the size it was made with, or the
    // width and height last set through SetWidth and SetHeight.
    QSize sizeHint() const override { return FDesignSize; }
    QSize minimumSizeHint() const override { return FDesignSize; }

protected:
    TPiboWinControl(QWidget* parent, int width, int height);
    virtual void PaintBoxPaint(TCanvas& canvas) = 0;
    virtual void Click();

    TPaintBox* FPaintBox;

private:
    QSize FDesignSize;
};

enum TPageButtonType { pbtKeJian, pbtMedia, pbtRecent };

// The pieces of a page button's caption as they are written, one per line:
// the caption's ANSI bytes taken two at a time (one double-byte character per
// line); a trailing odd byte is dropped.
QStringList PageButtonCaptionLines(const QString& caption);

// The tall page selector of the main window's side panel.
class TPiboPageButton : public TPiboWinControl {
    Q_OBJECT
public:
    explicit TPiboPageButton(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    bool Selected() const { return FSelected; }
    void SetSelected(bool value);
    TPageButtonType PageButtonType() const { return FPageButtonType; }
    void SetPageButtonType(TPageButtonType value);

private:
    void PaintBoxPaint(TCanvas& canvas) override;

    QString FCaption;
    bool FSelected = false;
    TPageButtonType FPageButtonType = pbtKeJian;
    TBitmap FUpTop, FUpBottom, FUpCenter, FDownTop, FDownBottom, FDownCenter;
};

enum TMainButtonType { mbtLiuLan, mbtDanJu, mbtZiYou, mbtKouYu, mbtFanYi, mbtChengJi, mbtZhiZuo };

// The mode button of the main window.
class TPiboMainButton : public TPiboWinControl {
    Q_OBJECT
public:
    explicit TPiboMainButton(QWidget* parent = nullptr);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    TMainButtonType MainButtonType() const { return FMainButtonType; }
    // Loads the three pictures of the type (raises EResNotFound for a missing
    // one); runs in full also for the same type.
    void SetMainButtonType(TMainButtonType value);

    QString CurrentPictureRole() const;  // "normal", "hover" or "down"
    // Shows the down picture until cleared: the main window marks the mode
    // of the screen it shows.
    bool Down() const { return FDown; }
    void SetDown(bool value);

private:
    void PaintBoxPaint(TCanvas& canvas) override;
    void PaintBoxMouseDown(TMouseButton button);
    void PaintBoxMouseUp(TMouseButton button);
    void PaintBoxMouseMove();
    void PaintBoxMouseLeave();
    const TBitmap& CurrentPicture() const;

    QString FCaption;
    TMainButtonType FMainButtonType = mbtLiuLan;
    TBitmap FNormalPicture, FHoverPicture, FDownPicture;
    bool FMouseOver = false;
    bool FPressed = false;
    bool FDown = false;
};

// The 13 x 13 picture check box of the study screens.
class TPiboCheckBox : public TPiboWinControl {
    Q_OBJECT
public:
    explicit TPiboCheckBox(QWidget* parent = nullptr);

    bool Checked() const { return FChecked; }
    // A changed value is drawn at once.
    void SetChecked(bool value);

protected:
    // Reached with Tab; Space flips it as a click does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PaintBoxPaint(TCanvas& canvas) override;
    void Click() override;

    TBitmap FCheckedPicture, FNotCheckedPicture;
    bool FChecked = false;
};

// ---------------------------------------------------------------------------
// Word tiles, seek bar and volume control
// ---------------------------------------------------------------------------

// A rectangle by its edges, as the tiles keep it.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    friend bool operator==(const TRect& a, const TRect& b)
    {
        return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
    }
};

// One word tile.
struct TPiboWordItem {
    QString Word;
    TRect Rect;  // client pixels; all 0 for a hidden tile
    bool Visible = true;
    qint32 Tag = 0;  // the caller's number
};
using TPiboWordItems = QList<TPiboWordItem>;

// The words of one sentence as clickable tiles that wrap over several lines.
// A paint box itself; OnClick fires for a click anywhere and the handler reads
// MoveIndex.
class TPiboWordOperate : public TPaintBox {
    Q_OBJECT
public:
    explicit TPiboWordOperate(QWidget* parent = nullptr);

    QString Text() const { return FText; }
    // A different text is split at spaces and laid out; the last tile takes
    // the pending tag.
    void SetText(const QString& value);
    TFont MoveFont() const { return FMoveFont; }
    void SetMoveFont(const TFont& value) { FMoveFont = value; }
    int MoveIndex() const { return FMoveIndex; }
    const TPiboWordItems& WordItems() const { return FWordItems; }
    int LineCount() const { return FLineCount; }
    int TotalWidth() const { return FTotalWidth; }

    // Appends a word that takes tag; the other tiles keep their tags.
    void AddWord(const QString& word, qint32 tag);
    // Removes tile index; nothing unless 0 <= index < number of tiles.
    void DeleteWord(int index);
    // Puts the words in random order.
    void Shuffle();
    // Hides or shows tile index and lays the visible tiles out again; Text
    // stays. An index outside the tiles does nothing.
    void SetWordVisible(int index, bool visible);
    // The tag of tile index; 0 for an index outside the tiles.
    qint32 GetWordTag(int index) const;

protected:
    void Paint(TCanvas& canvas) override;
    void MouseMove(Qt::KeyboardModifiers shift, int x, int y) override;
    void MouseLeave() override;

private:
    void LayoutWords();
    void LayoutVisibleWords();
    TFont MeasureFont() const;
    // Places the words in order: the running line and x, an 8-pixel gap.
    void PlaceTiles(const QList<int>& indexes, const TFont& font);

    QString FText;
    TFont FMoveFont;
    int FMoveIndex = -1;
    TPiboWordItems FWordItems;
    int FLineCount = 0;
    int FTotalWidth = 0;
    qint32 FPendingTag = -1;
    bool FHover = false;
};

using TPositionChangeEvent = std::function<void()>;

// The seek bar of the player screens: a track with a draggable thumb and two
// optional section marks.
class TPiboProgressBar : public TPiboWinControl {
    Q_OBJECT
public:
    explicit TPiboProgressBar(QWidget* parent = nullptr);

    int Position() const { return FPosition; }
    // Stores the value (also an unchanged one), recomputes the drawing and
    // fires OnPositionChange.
    void SetPosition(int value);
    int Max() const { return FMax; }
    // A different value sets the position to 0 and fires OnPositionChange;
    // the drawing follows with the next position.
    void SetMax(int value);
    int Min() const { return FMin; }
    void SetMin(int value);
    int StartMark() const { return FStartMark; }
    void SetStartMark(int value);
    int EndMark() const { return FEndMark; }
    void SetEndMark(int value);
    bool Marked() const { return FMarked; }
    void SetMarked(bool value);

    TPositionChangeEvent OnPositionChange;

    // The drawn geometry: the played and the rest width, the thumb.
    int PlayedWidth() const { return FPlayed; }
    int RestWidth() const { return FRest; }
    QRect ThumbRect() const { return FThumb; }

private:
    void PaintBoxPaint(TCanvas& canvas) override;
    void Click() override;
    void PaintBoxMouseDown(TMouseButton button, int x, int y);
    void PaintBoxMouseMove(int x);
    void CalcThumb();
    int PositionOfPixels(int pixels) const;
    void PositionChanged();

    int FPosition = 50;
    int FMax = 100;
    int FMin = 0;
    int FStartMark = -1;
    int FEndMark = -1;
    bool FMarked = false;
    int FPlayed = 0;
    int FRest = 0;
    QRect FThumb;
    bool FDragging = false;
    int FDragX = 0;
    TBitmap FBlock, FCross, FNotCross;
};

// The volume bar of the player screens.
class TPiboSoundVolume : public TPiboWinControl {
    Q_OBJECT
public:
    explicit TPiboSoundVolume(QWidget* parent = nullptr);

    int Position() const { return FPosition; }
    void SetPosition(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    int Min() const { return FMin; }
    void SetMin(int value);

    int FillWidth() const { return FFill; }
    int RestWidth() const { return FRest; }

private:
    void PaintBoxPaint(TCanvas& canvas) override;

    int FPosition = 50;
    int FMax = 100;
    int FMin = 0;
    int FFill = 0;
    int FRest = 0;
    TBitmap FCross, FNotCross;
};
