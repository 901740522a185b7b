#pragma once

// The document of the editor: the viewer's control-bound document plus the
// caret and its stops on the caret's line, the current text and paragraph
// styles, the undo and redo lists, and every editing operation. The editor
// control's operations are thin wrappers over this class. Its members are
// implemented by concern, one source each (named at each section below).

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QtCore/QByteArray>
#include <QtCore/QPoint>
#include <QtCore/QRect>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtGui/QImage>

#include "editing/RDItemResizer.h"
#include "editing/RDUndo.h"
#include "viewer/RDRichDoc.h"

class QIODevice;
class QMimeData;
class TCustomRichDocEdit;
class QWidget;
class QObject;

// One caret stop of the caret's line.
class TRDCharPos {
public:
    int PosX = 0;        // x in document coordinates
    int DrawIndex = -1;  // the draw item
    int DrawOffset = -1; // draw-item offset
    int CaretShift = 0;  // 0, 1 or 2 pixels added to PosX when the caret is placed
    // Copies PosX, DrawIndex and DrawOffset (not CaretShift).
    void Assign(const TRDCharPos& source) {
        PosX = source.PosX;
        DrawIndex = source.DrawIndex;
        DrawOffset = source.DrawOffset;
    }
};
using TRDCharPosCollection = std::vector<TRDCharPos>;

// State bits of the editor's document (DataState) beyond the formatted document's.
enum : uint32_t {
    dsCaretReset = 1u << 19,       // the next format puts the caret at the document start
    dsStyleApplying = 1u << 23,    // a style application reformats
    dsOpenInsertion = 1u << 24,    // the editor inserts text: DoChange keeps the pending tag
};

class TRDEditRDData : public TRichDocRDData {
public:
    explicit TRDEditRDData(TCustomRichDoc* owner);
    ~TRDEditRDData() override;

    // ======== document data, resets and overrides (RDERDData.cpp) ========
    int LastSwitchableStyleNo = 0;
    TRDTag PendingTag;
    std::unique_ptr<TRDItemResizer> ItemResizer;
    QWidget* ResizingControl = nullptr;
    bool ItemInsertedDuringLoad = false;
    bool CustomCaretTimerOn = false;
    QRect CustomCaretRect;
    QPoint CaretBackgroundPos;
    std::unique_ptr<QImage> CaretBackground;
    std::unique_ptr<TRDDragDropCaretInfo> DragDropCaret;
    int CurrentTextStyleNo = 0;
    int CurrentParaNo = 0;
    std::unique_ptr<TRDUndoList> UndoList;
    std::unique_ptr<TRDRedoList> RedoList;
    uint8_t RecordingState = 0;  // 0 none, 1 undo list, 2 redo list
    int CaretDrawItemNo = -1;
    int CaretCharPosNo = -1;
    TRDCharPosCollection CharPositions;
    int CaretHeight = 0;

    // The editor that owns the document.
    TCustomRichDocEdit* Editor() const;
    int GetCaretItemNo();
    int GetCaretOffset();
    bool HasNoDrawItems() const;
    void EnsureNotEmpty();
    void SetCurrentTextStyleNo(int value);
    void SetCurrentParaNo(int value);
    int GetCurrentStyleNo();
    void DropPendingTag();
    void TakePendingTag();
    void DoChange(bool clearRedo);
    void AcquireDragDropCaret();
    void ReleaseDragDropCaret();
    void ClearFormatting() override;
    void Clear() override;
    // (the overrides of the viewer's and the formatted document's operations are declared here)
    // Whether the caret stands on a draw item and one of its line's stops.
    bool CaretValid() const;
    void SetChosenItem(TCustomRDItemInfo* item) override;
    void StylesRenumbered(const TRDStyleMaps& maps) override;
    void MarkUsedStyles(TRDStyleUsage& usage) override;
    void UnchooseAllBut(TCustomRDItemInfo* keep) override;
    void FinishFormatHook() override;
    void BeforeCaretMove() override;
    void ClickSelectsItem() override;
    bool GetDragSource(QMimeData*& data, Qt::DropActions& allowed) override;
    void ConvertAssociatedStyle(int itemNo, int userData, bool appliedToText) override;
    TRDDragDropCaretInfo* GetDragDropCaret() override;
    void SelectRange(int itemNo, int offset, int length, bool backwards) override;
    void GetSearchStart(bool fromStart, bool wholeDocument, int& itemNo, int& offset) override;
    void GetSelBoundsDraw(int& startNo, int& startOffs, int& endNo, int& endOffs, bool normalize = true) override;
    void GetSelBoundsItems(int& startItem, int& startOffs, int& endItem, int& endOffs, bool normalize) override;
    void GetSelStartDraw(int& drawNo, int& offset) override;
    void AfterMouseSelection(bool scroll) override;

    // ======== caret stops, showing the caret, formatting, jumps, custom caret (RDECaret.cpp) ========
    void BuildCharPositions(int wantedDrawOffsetMinus2);
    void SkipMarkerDrawItem(bool forward, int& drawOffset);
    void UpdateCaret(bool scroll, bool keepCurrentStyles, bool refreshResizerFirst);
    // The caret's point in client coordinates (published: the background band and the makers read it).
    QPoint GetCaretPoint();
    QPoint CaretPos() const;
    // Keeps the caret across formatting.
    void DoFormat(bool keepSelection, bool force, bool itemFlag1, bool itemFlag2, bool onlyNewItems, TCanvas* canvas,
                  int depth, bool keepScroll) override;
    // The current text style follows the style of the item at the caret.
    void SwitchStyleAtCaret(int itemNo);
    void HighlightJumpAtCaret(int itemNo);
    void UnhighlightJumpAtCaret();
    // Hypertext on and off in an editor.
    void EnableJumps(bool forced);
    void DisableJumps();
    // The owner-drawn caret: its timer, drawing it (its rectangle repainted
    // through OnDrawCustomCaret) and erasing it (its rectangle repainted without it).
    void StartCustomCaretTimer();
    void StopCustomCaretTimer();
    void DrawCustomCaret();
    void EraseCustomCaret();
    void FreeCaretBackground();
    // Whether the custom caret may be drawn now (focus, no resizer, no chosen item, no drop caret).
    bool CustomCaretAllowed();
    bool PaintBuffered(TCanvas& canvas, const QRect& clip) override;
    // The caret's point in client coordinates as the last UpdateCaret left it
    // (what would have placed a system caret; kept with or without the focus).
    QPoint LastCaretPoint{-1, -1};
    // Where the custom caret was drawn last (client coordinates), while it is.
    QRect CustomCaretDrawnRect;
    bool CustomCaretDrawn = false;

    // ======== caret movement by keys (RDECaretMove.cpp) ========
    // Each answers true when the caret could not move because it stands at
    // the document's edge in that direction (the editor's cue for OnCaretGetOut).
    bool MoveCaretLeft(bool selecting, bool byWord);
    bool MoveCaretRight(bool selecting, bool byWord);
    bool MoveCaretUp(bool selecting, bool doNotEnterItems);
    bool MoveCaretDown(bool selecting, bool doNotEnterItems);
    // The caret onto the line of drawItemNo, at the caret's present x.
    void MoveCaretToLineOf(int drawItemNo);
    void MoveCaretPageUp();
    void MoveCaretPageDown();
    // To the document start (end), or to the start (end) of the caret's line.
    void MoveCaretHome(bool toDocumentStart);
    void MoveCaretEnd(bool toDocumentEnd);
    // Moves of the paragraph selection mode.
    void MoveToPrevParagraph();
    void MoveToNextParagraph();
    // Without a selection: an empty selection at the caret stop.
    void AnchorSelectionAtCaret();
    // The selection's moving end to the caret stop.
    void ExtendSelectionToCaret();
    bool CaretAtLineStart() const;
    bool CaretAtLineEnd() const;
    bool CaretOnLastLine() const;

    // ======== typing and inserting items at the caret (RDETyping.cpp) ========
    bool CanDeleteSelection();  // (deleting the selection)
    // A typed character as the bytes of the keyboard code page.
    void TypeChar(const QByteArray& ch);
    // Text in the current style's encoding (UTF-16LE bytes for a Unicode style).
    void TypeText(const QByteArray& text);
    void TypeIntoNewItem(const QByteArray& text);
    // Inserts item at the caret, reformats and places the caret after it (or
    // before it with caretBefore). oldText: the text of a split caret item.
    bool InsertItemAndShow(std::unique_ptr<TCustomRDItemInfo> item, const QByteArray& text, QByteArray& oldText,
                           bool inheritTag, bool caretBefore, bool fireEvents);
    // The document change alone. index: where the item went, -1 when it was
    // dropped (a list marker where none may go: still a success); itemsAdded:
    // the change in item count; newListNo: the list style a marker took over.
    // A refused item is freed.
    bool InsertItemAtCaret(std::unique_ptr<TCustomRDItemInfo> item, const QByteArray& text, QByteArray& oldText,
                           bool inheritTag, bool fireEvents, int& index, int& itemsAdded, bool& full, int& newListNo);
    bool FireItemTextEdit(const QByteArray& oldText, int itemNo);
    bool FireItemTextEditGrouped(const QByteArray& oldText, int itemNo, uint8_t groupKind);
    std::unique_ptr<TCustomRDItemInfo> NewTextItem(const TRDTag& tag, int paraNo, bool lineBreak, bool continuesPara,
                                                   int styleNo);
    std::unique_ptr<TCustomRDItemInfo> NewTextItemLike(const TRDTag& tag, const TCustomRDItemInfo& model,
                                                       bool lineBreak, bool continuesPara);
    std::unique_ptr<TCustomRDItemInfo> CloneTextItem(const TCustomRDItemInfo& item);
    void InsertNewTextItemRecorded(int index, const QByteArray& text, const TRDTag& tag, int paraNo, bool lineBreak,
                                   bool continuesPara, int styleNo, bool& full);
    void InsertTextItemLikeRecorded(int index, const QByteArray& text, const TRDTag& tag,
                                    const TCustomRDItemInfo& model, bool lineBreak, bool continuesPara, bool& full);
    void InsertEmptyTextItem(int index, int styleNo, int paraNo, bool continuesPara, bool& full);
    bool CopyParagraphMarker(int itemNo, int targetIndex, bool recorded, bool& full);
    // The caret to an item position after an edit, stops rebuilt (not shown):
    // a position where a line wraps inside the item is the next line's start.
    void PlaceCaretAfterEdit(int itemNo, int offset);

    // ======== deleting the selection (RDEDelete.cpp) ========
    // Deletes the selection as one undo group (kind 1); true also when there
    // was nothing to delete, false (with a beep) when it is refused.
    bool DeleteSelection();
    // Moves an item position off a list marker: to the next item's start
    // (forward, item 0 or offset 1), else to the previous item's end.
    void SkipMarkerItem(int& itemNo, int& offset, bool forward);
    // A step of DeleteSelection: saves the persistent checkpoint of the
    // selection's first paragraph by moving it in front of what goes.
    void RescuePersistentCheckpoint(int first, int firstOffs, int last, int lastOffs);
    // Gives the paragraph of the caret one paragraph style, that of the caret
    // item (recorded, ApplyParaStyle): a joined paragraph takes the style of its first part.
    void ApplyCaretItemParaStyle();

    // ======== applying text and paragraph styles (RDEStyles.cpp) ========
    // Text styles of the selection (or the current style without one): mode 1
    // applies a style index, 3 converts through the editor's event, 5 applies
    // a template; the editor's conversion hook gives each new style. One undo
    // group of kind 9.
    void ApplyTextStyleConversion(int userData, int mode, bool wholeParagraphs);
    // Paragraph styles of the paragraphs of the selection (or of the caret):
    // value is the style index, or with convert the caller's value for the
    // hook. Records into the group the caller began.
    void ApplyParaStyle(int value, bool convert);
    // A position of the selection kept across the splits and joins of a style application.
    struct TRDStyledPos {
        int ItemNo = -1;
        int Offset = 0;
    };
    // The ends of the selection (start before end) while a text style is applied.
    TRDStyledPos StyleSelStart, StyleSelEnd;
    // The caret while a text style is applied without a selection (to whole paragraphs).
    TRDStyledPos StyleCaret;
    // The mode of the text style application running (passed on to items that convert themselves).
    int StyleApplyMode = 1;
    // Whole text items: the hook's answer for the item, text converted with it.
    void ConvertItemStyle(int itemNo, int userData, bool wholeParagraphs);
    // Characters 1 .. offset - 1 of the item into a new item of the new style before it.
    void ConvertItemHead(int itemNo, int offset, int userData, bool wholeParagraphs);
    // Characters from offset into a new item of the new style after it.
    void ConvertItemTail(int itemNo, int offset, int userData, bool wholeParagraphs);
    // Characters first .. last - 1 get the new style; head and tail keep the old one.
    void ConvertItemMiddle(int itemNo, int first, int last, int userData, bool wholeParagraphs);
    // The item's style changed, its text converted between ANSI and UTF-16 when the encoding changes.
    void SetStyleConvertingText(int itemNo, int styleNo);
    void ClearTagOnStyleApply(int itemNo);
    // Joins joinable neighbours over items a..b, the selection ends following.
    void JoinAfterStyleApply(int a, int b, int& itemCountDelta, bool& full);
    // The editor's answer to a text style conversion asked by items (labels).
    void ConvertStyleNo(int32_t& styleNo, int32_t paraNo, int userData) override;

    // ======== recorded edit primitives and undo recording (RDERecorded.cpp) ========
    // The list that takes new records now, or nil.
    TRDUndoList* GetRecordingUndoList();
    bool BeginUndoGroup(uint8_t kind, bool endChosenItemEditing = true);
    bool BeginNamedUndoGroup(uint8_t kind, const QString& caption, bool endChosenItemEditing = true);
    bool BeginRedoGroup(uint8_t kind, const QString& caption);
    void SetUndoGroupMode(bool open);
    void EndChosenItemEditing();
    void AddModifyItemTerminator(int itemNo, bool opening);
    void RecordReformatRange(int firstItem, int lastItem, bool fullFormat);

    // Each primitive records (when a list records), then changes the document;
    // full is set when the change may alter the document width.
    void DeleteItemRecorded(int itemNo, bool& full);
    void DeleteItemsRecorded(int first, int last, bool& full);
    void DeleteSubstringRecorded(int itemNo, int position, int count);
    void InsertSubstringRecorded(int itemNo, int position, const QByteArray& chars);
    void ChangeItemTextRecorded(int itemNo, const QByteArray& newText);
    void InsertItemRecorded(int index, const QByteArray& text, bool& full, bool fromUndoList,
                            std::unique_ptr<TCustomRDItemInfo> item);
    TRDUndoInsertItemsInfo* RecordInsertItems(int first, int count);
    void FinishInsertItems(int first, int count, bool& full, TRDUndoInsertItemsInfo* record);
    // items: last item first.
    void InsertItemListRecorded(int index, std::vector<std::pair<QByteArray, std::unique_ptr<TCustomRDItemInfo>>>& items,
                                bool& full, bool fromUndoList);
    bool SetParaRange(int first, int last, bool& full, int paraNo);
    void SetParaRangeRecorded(int first, int last, bool& full, int paraNo);
    void SetParaListRecorded(int first, const std::vector<int>& paraNos, bool& full);
    void SetItemStyleRecorded(int itemNo, int styleNo);
    void SetAssociatedStyleRecorded(int itemNo, int styleNo);
    void SetContinuesParaRecorded(int itemNo, bool continues, bool& full, int newParaNo);
    void SetLineBreakRecorded(int itemNo, bool lineBreak, bool& full);
    void SetPageBreakRecorded(int itemNo, bool pageBreak);
    void SetExtraIntPropertyRecorded(int itemNo, int propId, int value);
    void SetExtraStrPropertyRecorded(int itemNo, int propId, const QString& value);
    void SetItemTagRecorded(int itemNo, const TRDTag& tag, bool takeOver);
    void AttachCheckpointRecorded(int itemNo, std::unique_ptr<TRDCPInfo> checkpoint);
    void DetachCheckpointRecorded(int itemNo);
    void MoveCheckpointRecorded(int fromItem, int toItem);
    void JoinItemsRecorded(int itemNo, bool& full);
    void ResizeControlRecorded(int itemNo, int width, bool reformat, int height);

    void RespellFrom(int itemNo, int offset, bool clearMarks = true);
    void RenumberAfterEdit(int first, int last);
    void ReformatAfterEdit(bool full, int firstDrawItem, int lastDrawItem, int itemCountDelta);
    void ReformatKeepingCaret(bool full, bool force, bool keepScroll, int itemNo, bool updateCaret);
    int BeginItemModify(int itemNo);
    void EndItemModify(int itemNo, int widthKept);
    bool HasPersistentCheckpoint(int itemNo);
    bool ParaHasPersistentCheckpoint(int itemNo);
    bool MovePersistentCheckpointAway(int itemNo, bool preferPrevious);
    int ParagraphEndItem(int itemNo);

    // Published properties of an item (a QObject property of target, or of
    // the item itself when target is nil and the item is a QObject). The
    // record is made from recordClass (its CreateSameClass; nil: the plain
    // record of the kind). Answer the record added, or nil.
    TRDUndoModifyItemProps* ModifyItemIntProperty(int itemNo, QObject* target,
                                                  const TRDUndoModifyItemProps* recordClass, bool changesWidth,
                                                  bool changesSize, int value, const QString& propName);
    TRDUndoModifyItemProps* ModifyItemStrProperty(int itemNo, QObject* target,
                                                  const TRDUndoModifyItemProps* recordClass, const QString& value,
                                                  const QString& propName);
    // props: property names with their new values.
    TRDUndoModifyItemProps* ModifyItemIntProperties(int itemNo, QObject* target,
                                                    const TRDUndoModifyItemProps* recordClass, bool changesWidth,
                                                    bool changesSize, const std::vector<std::pair<QString, int>>& props);

    // Numbering of list markers and sequence fields after an edit.
    void CollectNumbering(int first, int last, QStringList& seqNames, TRDIntegerList& listStyles, int& seqPos,
                          int& markerPos, int& lastItem, bool beforeRange, bool widen = true);
    void ApplyNumbering(int lastItem, int seqPos, const QStringList& seqNames, const TRDIntegerList& listStyles,
                        int markerPos);

private:
    // The checkpoint slot of an item, or of the document end for -1.
    std::unique_ptr<TRDCPInfo>& RecordedCheckpointSlot(int itemNo);
    // Removes item i from the list: into a record, or freed.
    std::unique_ptr<TCustomRDItemInfo> RecordedRemoveItem(int i, QByteArray& text, TRDUndoRecord* record);
    // Puts an item into the list at index with its notifications.
    TCustomRDItemInfo* RecordedPlaceItem(int index, const QByteArray& text, std::unique_ptr<TCustomRDItemInfo> item,
                                         bool fromUndoList);
    bool RecordedWidthCrosses(int widthBefore, int widthAfter) const;
    bool EndingChosenItemEditing = false;

public:

    // ======== Enter (RDEEnter.cpp) ========
    // Enter (a new paragraph) or Shift+Enter (lineBreak: a new line of the
    // same paragraph) at the caret, one undo group of kind 4; true when
    // something was inserted. again: the repetition after a list was ended.
    bool BreakParagraph(bool lineBreak, bool again = false);
    // The caret to the start of its draw item (off a marker), stops rebuilt, shown.
    void CaretToDrawItemStart();
    bool InsertEmptyParagraph(bool lineBreak, bool again);
    bool BreakBeforeItem(int itemNo, bool lineBreak, int drawFirst, int drawLast, int paraWidth, bool noWrap);
    bool BreakAfterItem(int itemNo, bool lineBreak, int drawFirst, int drawLast, int paraWidth, bool noWrap);
    bool SplitTextItem(int itemNo, int offset, bool lineBreak, int drawFirst, int drawLast, int paraWidth,
                       bool noWrap);

    // ======== Backspace and Delete (RDEKeys.cpp) ========
    // Removes what stands before the caret (word: Ctrl held; wholeChar: from
    // the Delete path, a whole character; atPartEnd: the caret stands at the
    // end of the part of an item that one draw item shows).
    void BackspaceKey(bool word, bool wholeChar = false, bool atPartEnd = false);
    // Removes what stands after the caret (again: the internal repetition).
    void DeleteKey(bool word, bool again = false);
    // The caret to an item position (off a marker, forward), stops rebuilt,
    // shown with scrolling; with applyParaStyle the caret item's paragraph
    // style is then given to its whole paragraph.
    void PlaceCaretAtItem(int itemNo, int offset, bool applyParaStyle);
    bool CaretAtParagraphStart(bool notAfterLineBreak);
    bool CaretAtParagraphEnd(bool notBeforeLineBreak);
    // How many characters (bytes of ANSI text, UTF-16 units of Unicode text)
    // Backspace removes before the caret offset of a text item.
    int CharsBeforeCaret(int itemNo, int offset, bool word, bool wholeChar);
    // Replaces the only item of a paragraph by an empty text item.
    bool ReplaceItemByEmptyText(int itemNo);
    // Deletes a whole item (or list marker) before the caret.
    bool DeleteWholeItemAtCaret(int itemNo);
    // Clears the page break before the caret item in its own undo group (kind 6).
    void ClearPageBreakAtCaretItem();

    // ======== inserting text and documents (RDEInsert.cpp) ========
    // ANSI text in the current style's code page.
    void InsertText(const QByteArray& text, bool inheritTag, bool caretAtStart);
    // UTF-16LE bytes, a byte-order mark allowed.
    void InsertTextW(const QByteArray& text, bool inheritTag, bool caretAtStart);
    bool InsertTextFromStream(QIODevice& stream, bool oem, bool inheritTag);
    bool InsertTextFromFile(const QString& fileName, bool oem, bool inheritTag);
    bool InsertRDFFromStream(QIODevice& stream);
    // The state of one text run (InsertText, InsertTextW).
    struct TRDTextRun {
        bool InheritTag = false;
        bool CaretAtStart = false;
        bool Failed = false;
        bool Placed = false;
        bool NewPara = false;
        bool LineBreak = false;
        bool PageBreak = false;
        bool Split = false;
        bool Full = false;
        int First = -1;
        int Last = -1;
        int MarkerItem = -1;  // the list marker that opens the block's paragraph
        int FirstDraw = 0, LastDraw = 0;
        int ItemCountBefore = 0;
        QByteArray OldText;
    };
    // A run starting at the caret: its options, the item count and the caret paragraph's lines.
    void StartTextRun(TRDTextRun& run, bool inheritTag, bool caretAtStart);
    void PlaceTextChunk(TRDTextRun& run, std::unique_ptr<TCustomRDItemInfo> item, const QByteArray& text);
    // A tab item of the current styles where the text has a tab.
    void PlaceTabItem(TRDTextRun& run);
    void FinishTextInsertion(TRDTextRun& run);
    // first..last: the block, kept pointing at it across the joins;
    // caretOffset (in the last item) grows with the joins that reach it.
    void MergeInsertedBlock(int& first, int& last, int& caretOffset, int& itemCountDelta, bool& full);
    // Where the last InsertItemAtCaret put its item (-1: dropped or refused).
    int LastInsertedAtCaret = -1;
    // The RDF reader's insertion: in insert mode the first item read goes in
    // at the caret (InsertItemAtCaret), otherwise as the document puts it.
    // (Until the document data's own override of the reader's insertion lands.)
    bool InsertItem(int& index, QByteArray& text, TCustomRDItemInfo*& item, bool insertMode, bool& reformatAll,
                    int& newListNo) override;
};
