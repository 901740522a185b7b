#pragma once

// The program's grid control family: a table of cells with fixed bands, grid
// lines, scrolling, a selection, keyboard and mouse navigation, sizing and
// moving by drag and an in-place cell editor; the string grid keeps a text and
// an object reference per cell in sparse storage.
//
// HasCheckBox makes column 0 a check-box column and HasSpeedButton makes the
// last column a button column: navigation, the editor and the selection leave
// them alone so that the skinned list grid can treat presses on them as clicks.

#include "Forms.h"
#include "ListError.h"
#include "Graphics.h"

#include <QtCore/QBasicTimer>
#include <QtCore/QFlags>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QLineEdit>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

// Every error of the grid module.
class EInvalidGridOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TGridCoord {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TGridCoord& a, const TGridCoord& b) { return a.X == b.X && a.Y == b.Y; }
    friend bool operator!=(const TGridCoord& a, const TGridCoord& b) { return !(a == b); }
};

// A range of cells; Right and Bottom are the last cells inside it.
struct TGridRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
    friend bool operator==(const TGridRect& a, const TGridRect& b)
    {
        return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
    }
};

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4,
    goDrawFocusSelected = 1u << 5,
    goRowSizing = 1u << 6,
    goColSizing = 1u << 7,
    goRowMoving = 1u << 8,
    goColMoving = 1u << 9,
    goEditing = 1u << 10,
    goTabs = 1u << 11,
    goRowSelect = 1u << 12,
    goAlwaysShowEditor = 1u << 13,
    goThumbTracking = 1u << 14,
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridOptions)

enum TGridDrawStateFlag : unsigned { gdSelected = 1u << 0, gdFocused = 1u << 1, gdFixed = 1u << 2 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// The layout of one axis (columns horizontally, rows vertically), computed for
// each paint, hit test and scroll.
struct TGridAxisDrawInfo {
    int EffectiveLineWidth = 0;
    int FixedBoundary = 0;
    int GridBoundary = 0;
    int GridExtent = 0;
    int LastFullVisibleCell = 0;
    int FullVisBoundary = 0;
    int FixedCellCount = 0;
    int FirstGridCell = 0;
    int GridCellCount = 0;
    const std::vector<int>* Extents = nullptr;  // individual extents, or none
    int DefaultExtent = 0;
    int GetExtent(int index) const
    {
        return Extents && !Extents->empty() && index >= 0 && index < static_cast<int>(Extents->size())
                   ? (*Extents)[static_cast<std::size_t>(index)]
                   : DefaultExtent;
    }
};

struct TGridDrawInfo {
    TGridAxisDrawInfo Horz;
    TGridAxisDrawInfo Vert;
};

class TCustomGrid;

// ---------------------------------------------------------------------------
// The in-place cell editor
// ---------------------------------------------------------------------------

// The placement of the editor over a cell: one pixel in from the left, two
// from the right, and its text vertically centred less two pixels.
QRect InplaceEditorRect(const QRect& cellRect, int textHeight);

class TInplaceEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TInplaceEdit(TCustomGrid* grid);

    TCustomGrid* Grid() const { return FGrid; }
    // The edit mask; an empty mask means none (nothing of the program sets one).
    QString EditMask() const { return inputMask(); }
    void SetEditMask(const QString& mask) { setInputMask(mask); }
    // Maximum text length; 0 means no limit.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    void SetClickTime(qint64 time) { FClickTime = time; }
    qint64 ClickTime() const { return FClickTime; }
    TColor Color() const { return FColor; }
    void SetColor(TColor value);

    // Placement by the grid: an empty rectangle hides the editor.
    void Move(const QRect& rect, bool redraw = true);
    void Hide();
    void SetFocus();
    void Invalidate();
    bool Visible() const { return isVisible(); }
    // Selects the whole text with the caret at its start, so that a text
    // wider than the cell shows its beginning (a typed key still replaces it).
    void SelectAllFromStart();

protected:
    virtual void EditorBoundsChanged();
    virtual void LoadCellContents();
    bool CanModify() const;

    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;

private:
    friend class TCustomGrid;
    void TextChanged();
    bool KeyDown(int& key, Qt::KeyboardModifiers shift);
    bool KeyPress(QChar& key);
    void PostChar(QChar ch);
    bool LeftSide() const;
    bool RightSide() const;

    TCustomGrid* FGrid;
    qint64 FClickTime = 0;
    int FMaxLength = 0;
    TColor FColor = clWhite;
    bool FColorSet = false;
    bool FLoading = false;
};

// ---------------------------------------------------------------------------
// TCustomGrid
// ---------------------------------------------------------------------------

using TKeyEvent = std::function<void(int& key, Qt::KeyboardModifiers shift)>;
using TKeyPressEvent = std::function<void(QChar& key)>;
using TMouseWheelUpDownEvent = std::function<void(Qt::KeyboardModifiers shift, QPoint pos, bool& handled)>;

class TCustomGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TCustomGrid(QWidget* parent = nullptr);
    ~TCustomGrid() override;

    // --- counts and extents ---
    int ColCount() const { return FColCount; }
    void SetColCount(int value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int value);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int value);
    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int value);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int value);
    int ColWidths(int index) const;
    void SetColWidths(int index, int value);
    int RowHeights(int index) const;
    void SetRowHeights(int index, int value);
    bool TabStops(int index) const;
    void SetTabStops(int index, bool value);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int value);
    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions value);
    TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool value) { FDefaultDrawing = value; }
    bool HasCheckBox() const { return FHasCheckBox; }
    void SetHasCheckBox(bool value) { FHasCheckBox = value; }
    bool HasSpeedButton() const { return FHasSpeedButton; }
    void SetHasSpeedButton(bool value) { FHasSpeedButton = value; }
    // The grid's font; a change repaints.
    TFont Font() const { return FFont; }
    void SetFont(const TFont& value);

    // --- current cell, selection, top-left ---
    int Col() const { return FCurrent.X; }
    void SetCol(int value);
    int Row() const { return FCurrent.Y; }
    void SetRow(int value);
    int LeftCol() const { return FTopLeft.X; }
    void SetLeftCol(int value);
    int TopRow() const { return FTopLeft.Y; }
    void SetTopRow(int value);
    TGridRect Selection() const;
    void SetSelection(const TGridRect& value);
    int VisibleColCount() const;
    int VisibleRowCount() const;
    TGridState GridState() const { return FGridState; }
    int ColOffset() const { return FColOffset; }

    // --- editor ---
    bool EditorMode() const { return FEditorMode; }
    void SetEditorMode(bool value);
    TInplaceEdit* InplaceEdit() const { return FInplaceEdit; }

    // --- geometry ---
    QRect CellRect(int col, int row) const;
    void MouseToCell(int x, int y, int& col, int& row) const;
    TGridCoord MouseCoord(int x, int y) const;
    void CalcDrawInfo(TGridDrawInfo& info) const;
    // The client width and height the cells lay out in.
    int ClientWidth() const;
    int ClientHeight() const;
    bool UseRightToLeftAlignment() const { return layoutDirection() == Qt::RightToLeft; }
    // The mouse cursor over the cells (the split cursors win over sizing borders).
    Qt::CursorShape CursorShape() const { return FCursorShape; }
    void SetCursorShape(Qt::CursorShape value);

    // --- events ---
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TMouseWheelUpDownEvent OnMouseWheelDown;
    TMouseWheelUpDownEvent OnMouseWheelUp;

    // The key, mouse and wheel handling, open to the editor and to tests that
    // drive the grid without an event loop.
    virtual void KeyDown(int& key, Qt::KeyboardModifiers shift);
    virtual void KeyPress(QChar& key);
    virtual void KeyUp(int& key, Qt::KeyboardModifiers shift);
    virtual void DblClick();
    virtual void Click();
    virtual bool DoMouseWheelDown(Qt::KeyboardModifiers shift, QPoint pos);
    virtual bool DoMouseWheelUp(Qt::KeyboardModifiers shift, QPoint pos);

    // Repaints the whole grid.
    void InvalidateGrid();
    void InvalidateCell(int col, int row);
    void InvalidateRow(int row);
    void InvalidateCol(int col);

    void ShowEditor();
    void HideEditor();
    void ShowEditorChar(QChar ch);
    void InvalidateEditor();
    void UpdateEditor();
    void HideEditorControl();

    void MoveColumn(int fromIndex, int toIndex);
    void MoveRow(int fromIndex, int toIndex);

    // --- editing hooks ---
    virtual bool CanEditAcceptKey(QChar key);
    virtual bool CanEditModify();
    virtual bool CanGridAcceptKey(int key, Qt::KeyboardModifiers shift);
    virtual QString GetEditMask(int col, int row);
    virtual QString GetEditText(int col, int row);
    virtual void SetEditText(int col, int row, const QString& value);
    virtual int GetEditLimit();

protected:
    // --- virtual operations ---
    struct TSizingHit {
        TGridState State = gsNormal;
        int Index = 0;
        int SizingPos = 0;
        int SizingOfs = 0;
    };
    virtual TSizingHit HitSizingBorder(int x, int y, const TGridDrawInfo& info);
    virtual TInplaceEdit* NewInplaceEditor();
    virtual bool EditorAllowed();
    virtual void PaintCell(TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state) = 0;
    virtual bool AllowCellSelect(int col, int row);
    virtual void RemoveColumn(int col);
    virtual void RemoveRow(int row);

    // --- hooks ---
    virtual void ColumnMoved(int fromIndex, int toIndex) {}
    virtual void RowMoved(int fromIndex, int toIndex) {}
    // After every change of the counts.
    virtual void SizeChanged() {}
    virtual void ColWidthsChanged();
    virtual void RowHeightsChanged();
    virtual void TopLeftChanged();
    virtual void TimedScroll(unsigned directions);
    virtual bool BeginColumnDrag(int& origin, int& destination, QPoint mousePt) { return true; }
    virtual bool CheckColumnDrag(int& origin, int& destination, QPoint mousePt) { return true; }
    virtual bool EndColumnDrag(int& origin, int& destination, QPoint mousePt) { return true; }
    virtual bool BeginRowDrag(int& origin, int& destination, QPoint mousePt) { return true; }
    virtual bool CheckRowDrag(int& origin, int& destination, QPoint mousePt) { return true; }
    virtual bool EndRowDrag(int& origin, int& destination, QPoint mousePt) { return true; }

    // Painting of the whole grid; the skinned grid paints more after it.
    virtual void Paint(TCanvas& canvas, const QRegion& updateRegion);
    virtual void MouseDown(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    virtual void MouseUp(TMouseButton button, Qt::KeyboardModifiers shift, int x, int y);

    // Focuses a cell (moving the current cell, updating the editor, OnClick).
    void FocusCell(int col, int row, bool moveAnchor);
    void MoveCurrent(int col, int row, bool moveAnchor, bool show);
    void MoveAnchor(const TGridCoord& newAnchor);
    void MoveTopLeft(int col, int row);
    void ScrollDataInfo(int dx, int dy, const TGridDrawInfo& info);
    void ClampInView(const TGridCoord& coord);
    void UpdateScrollRange();
    void UpdateScrollPos();
    void ModifyScrollBar(Qt::Orientation axis, int action, int pos);
    bool IsActiveControl() const;
    void InvalidateRect(const TGridRect& rect);
    QRect BoxRect(int left, int top, int right, int bottom) const;
    void ChangeSize(int newColCount, int newRowCount);
    TGridCoord CalcMaxTopLeft(const TGridCoord& coord, const TGridDrawInfo& info) const;
    void CancelMode();
    // Runs fn and hands any exception to the application's handler: no
    // exception may leave a Qt event handler.
    void Guard(const std::function<void()>& fn);

    // Qt events.
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

    TFont FFont;
    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    std::vector<int> FColWidths;   // empty: every column has the default width
    std::vector<int> FRowHeights;  // empty: every row has the default height
    std::vector<char> FTabStops;   // empty: every column is a tab stop
    int FGridLineWidth = 1;
    TGridOptions FOptions = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    TColor FFixedColor = clBtnFace;
    TColor FColor = clWindow;
    TScrollStyle FScrollBars = ssBoth;
    TBorderStyle FBorderStyle = bsSingle;
    bool FDefaultDrawing = true;
    bool FHasCheckBox = true;
    bool FHasSpeedButton = true;
    TGridCoord FCurrent{1, 1};
    TGridCoord FAnchor{1, 1};
    TGridCoord FTopLeft{1, 1};
    int FColOffset = 0;
    TGridState FGridState = gsNormal;
    int FSizingIndex = 0;
    int FSizingPos = 0;
    int FSizingOfs = 0;
    int FMoveIndex = 0;
    int FMovePos = 0;
    bool FEditorMode = false;
    TInplaceEdit* FInplaceEdit = nullptr;
    int FInplaceCol = -1;
    int FInplaceRow = -1;
    bool FCanEditModify = true;
    QBasicTimer FTimer;
    QPoint FHitTest;
    int FWheelAccumulator = 0;
    bool FDoublePress = false;
    bool FFocusFromEditor = false;
    Qt::CursorShape FCursorShape = Qt::ArrowCursor;

private:
    friend class TInplaceEdit;
    void SetCellExtent(std::vector<int>& extents, int count, int defaultValue, int index, int value, bool cols);
    void ResizeExtents(std::vector<int>& extents, int newCount, int defaultValue);
    void ResizeTabStops(int newCount);
    void FixedCountChanged();
    void UpdateEdit();
    void DrawSizingLine(const TGridDrawInfo& info);
    void DrawMove();
    void PaintFeedbackLines(QPainter& painter);
    void MoveAndScroll(int mouse, int cellHit, TGridDrawInfo& info, bool horz, QPoint mousePt);
    void TopLeftMoved(const TGridCoord& oldTopLeft);
    void ScrollBarAction(Qt::Orientation axis, int action);
    void ScrollBarReleased(Qt::Orientation axis);
    void DoExit();
    void UpdateCursor(int x, int y);
    void Press(QMouseEvent* event, bool doubleClick);
    void CheckExit(Qt::FocusReason reason);
    void SelectionMoved(const TGridRect& oldSel);
    QRect ClientRectOf(const TGridRect& rect, bool includeLine) const;
    QSize SizeWithoutScrollBars() const;

    bool FUpdatingScrollBars = false;
};

// ---------------------------------------------------------------------------
// TCustomDrawGrid, TDrawGrid
// ---------------------------------------------------------------------------

using TDrawCellEvent = std::function<void(TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state)>;
using TSelectCellEvent = std::function<void(int col, int row, bool& canSelect)>;
using TGetEditEvent = std::function<void(int col, int row, QString& value)>;
using TSetEditEvent = std::function<void(int col, int row, const QString& value)>;
using TMovedEvent = std::function<void(int fromIndex, int toIndex)>;

class TCustomDrawGrid : public TCustomGrid {
    Q_OBJECT
public:
    explicit TCustomDrawGrid(QWidget* parent = nullptr) : TCustomGrid(parent) {}

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    TGetEditEvent OnGetEditMask;
    TGetEditEvent OnGetEditText;
    TSetEditEvent OnSetEditText;
    TMovedEvent OnColumnMoved;
    TMovedEvent OnRowMoved;
    TNotifyEvent OnTopLeftChanged;

    QString GetEditMask(int col, int row) override;
    QString GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const QString& value) override;

protected:
    void PaintCell(TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state) override;
    bool AllowCellSelect(int col, int row) override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    void RowMoved(int fromIndex, int toIndex) override;
    void TopLeftChanged() override;
};

class TDrawGrid : public TCustomDrawGrid {
    Q_OBJECT
public:
    explicit TDrawGrid(QWidget* parent = nullptr) : TCustomDrawGrid(parent) {}
};

// ---------------------------------------------------------------------------
// Sparse storage
// ---------------------------------------------------------------------------

// A two-level array of pointers over non-negative indexes: sections of 16 or
// 256 slots, allocated on the first write into them.
class TSparsePointerArray {
public:
    enum TSectionSize { ss16 = 16, ss256 = 256 };
    explicit TSparsePointerArray(TSectionSize size);
    ~TSparsePointerArray();
    TSparsePointerArray(const TSparsePointerArray&) = delete;
    TSparsePointerArray& operator=(const TSparsePointerArray&) = delete;

    void* Get(int index) const;
    void Put(int index, void* item);
    int HighBound() const { return FHighBound; }
    TSectionSize SectionSize() const { return FSectionSize; }
    // Visits every non-empty slot in ascending order; stops at the first
    // non-zero result and returns it, else 0.
    int ForAll(const std::function<int(int index, void* item)>& fn) const;
    // Frees every section: the array holds nothing again.
    void Clear();
    // Bytes held by the directory and the sections.
    std::size_t AllocatedBytes() const;

private:
    void ScanHighBound();

    TSectionSize FSectionSize;
    int FShift;
    std::vector<void**> FDirectory;
    int FHighBound = -1;
    mutable int FCacheIndex = -1;
    mutable void* FCacheItem = nullptr;
};

class TSparseList {
public:
    explicit TSparseList(TSparsePointerArray::TSectionSize size);

    void* Get(int index) const;
    void Put(int index, void* item);
    void Insert(int index, void* item);
    void Delete(int index);
    void Exchange(int index1, int index2);
    void Move(int curIndex, int newIndex);
    void Clear();
    int Count() const { return FCount; }
    int ForAll(const std::function<int(int index, void* item)>& fn) const { return FList.ForAll(fn); }
    std::size_t AllocatedBytes() const { return FList.AllocatedBytes(); }

private:
    TSparsePointerArray FList;
    int FCount = 0;
};

// A sparse list of strings with object references; a record exists only for a
// non-empty text or a set object. Objects are references the list never owns.
class TStringSparseList {
public:
    explicit TStringSparseList(TSparsePointerArray::TSectionSize size);
    ~TStringSparseList();
    TStringSparseList(const TStringSparseList&) = delete;
    TStringSparseList& operator=(const TStringSparseList&) = delete;

    QString Get(int index) const;
    void* GetObject(int index) const;
    void Put(int index, const QString& text);
    void PutObject(int index, void* object);
    void Insert(int index, const QString& text);
    void Delete(int index);
    void Exchange(int index1, int index2);
    void Move(int curIndex, int newIndex);
    void Clear();
    int Count() const { return FList.Count(); }
    bool HasRecord(int index) const { return FList.Get(index) != nullptr; }
    std::size_t AllocatedBytes() const;

    TNotifyEvent OnChange;

private:
    struct TStrItem {
        QString Text;
        void* Object = nullptr;
    };
    void Changed();

    TSparseList FList;
};

class TStringGrid;

// A string-list view of one row or one column of a string grid.
class TStringGridStrings {
public:
    // index: 0 none, r + 1 for row r, -(c + 1) for column c.
    TStringGridStrings(TStringGrid* grid, int index) : FGrid(grid), FIndex(index) {}

    int Count() const;
    QString Get(int index) const;
    void Put(int index, const QString& text);
    void* GetObject(int index) const;
    void PutObject(int index, void* object);
    int Add(const QString& text);
    void Clear();
    void Insert(int index, const QString& text);
    void Delete(int index);
    void Assign(const TStringGridStrings& source);
    void Assign(const QStringList& source);
    void BeginUpdate();
    void EndUpdate();
    QStringList ToStringList() const;

private:
    TStringGrid* FGrid;
    int FIndex;
    int FUpdateCount = 0;
};

// ---------------------------------------------------------------------------
// TStringGrid
// ---------------------------------------------------------------------------

class TStringGrid : public TDrawGrid {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);
    ~TStringGrid() override;

    QString GetCells(int col, int row) const;
    void SetCells(int col, int row, const QString& value);
    void* GetObjects(int col, int row) const;
    void SetObjects(int col, int row, void* value);
    // The string-list views of a column or a row, made on first use (a view
    // holds no cells: writing cells makes none).
    TStringGridStrings& Cols(int index);
    TStringGridStrings& Rows(int index);

    QString GetEditText(int col, int row) override;
    void SetEditText(int col, int row, const QString& value) override;

    // Bytes held by the cell storage (lists, sections, records and texts).
    std::size_t StorageBytes() const;

protected:
    void PaintCell(TCanvas& canvas, int col, int row, const QRect& rect, TGridDrawState state) override;
    void ColumnMoved(int fromIndex, int toIndex) override;
    void RowMoved(int fromIndex, int toIndex) override;
    void SizeChanged() override;

private:
    friend class TStringGridStrings;
    TStringSparseList* EnsureDataRow(int row);
    TStringGridStrings* EnsureColRow(int index, bool isCol);
    void Update(int col, int row);
    void SetUpdateState(bool updating);

    std::unique_ptr<TSparseList> FData;
    std::unique_ptr<TSparseList> FRows;
    std::unique_ptr<TSparseList> FCols;
    bool FUpdating = false;
    bool FNeedsUpdating = false;
    int FEditUpdate = 0;
};
