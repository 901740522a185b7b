#pragma once

// The read-only rich-text viewer: a scrolling control that owns one document
// (laid out for its window and painted through an off-screen buffer), its
// background and every setting and event handler the document asks for.
// Adding and deleting items never formats: the caller calls FormatDocument
// before the control paints again.

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>

#include <QtCore/QBasicTimer>
#include <QtCore/QByteArray>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "Graphics.h"
#include "viewer/RDCtrlData.h"
#include "viewer/RDScroll.h"
#include "ShortCuts.h"

class QMenu;
class QMimeData;
class QMouseEvent;
class TCustomRichDoc;
class TRDAnimationTimer;
class TRDAnimatorList;
class TRDBackground;
class TRDMessageData;
class TRDLayoutInfo;
class TRDMarkerList;
class TRDStream;
class TRDStyle;
class TRDWordEnumThread;

// When an editor starts live spelling by itself; whether pictures animate.
enum class TRDLiveSpellingMode : uint8_t { rdlspOnChange, rdlspManualStart };
enum class TRDAnimationMode : uint8_t { rdaniDisabled, rdaniManualStart, rdaniOnFormat };

// Vertical placement of a document shorter than the window.
enum class TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };

// The document of a viewer: answers the layout's questions from its control
// and fires the control's events.
class TRichDocRDData : public TRDControlData {
public:
    explicit TRichDocRDData(TCustomRichDoc* owner);
    ~TRichDocRDData() override;

    TCustomRichDoc* const Owner;
    // The font cache of the last full formatting, or nil.
    std::unique_ptr<TRDFontInfoCache> FontInfoCache;
    std::unique_ptr<TRDIntegerList> RDFTextStylesMap, RDFParaStylesMap, RDFListStylesMap;
    std::unique_ptr<TRDMarkerList> MarkerList;
    // When set, receives the control instead of the tool tip when the hovered item's hint changes.
    std::function<void(TCustomRichDoc*)> HintHook;

    bool GetWordWrap() override;
    TRDOptions GetOptions() override;
    void SetOptions(TRDOptions value) override;
    TRDFOptions GetRDFOptions() override;
    void SetRDFOptions(TRDFOptions value) override;
    TRDRTFOptions GetRTFOptions() override;
    void SetRTFOptions(TRDRTFOptions value) override;
    uint8_t GetRDFLoadWarnings() override;
    void SetRDFLoadWarnings(uint8_t value) override;
    TRDFReaderStyleMode GetRDFTextStylesReadMode() override;
    TRDFReaderStyleMode GetRDFParaStylesReadMode() override;
    uint16_t GetControlFlags() override;
    void SetControlFlags(uint16_t value) override;
    int GetMaxLength() override;
    TRDStyle* GetRDStyle() override;
    void* GetPaletteHandle() override;
    void* GetLogPalette() override;
    TRDPaletteAction GetDoInPaletteMode() override;
    TRDBiDiMode GetBiDiMode() override;
    TColor GetColor() override;
    TRDHost* GetHost() override;
    QByteArray GetDelimiters() override;
    void* GetRTFReadProperties() override { return nullptr; }
    TRDDocParameters* GetDocParameters(bool create) override;
    QStringList* GetDocProperties() override;
    QString GetNoteText() override;
    TCustomRDData* GetChosenSubData() override;
    TCustomRDItemInfo* GetChosenSubItem() override;
    // The chosen nested document is the control's.
    void ChooseSubData(TCustomRDData* data, TCustomRDItemInfo* item) override;
    void ReplaceChosenSubData(TCustomRDData* data) override;
    void UnchooseSubData(TCustomRDData* data) override;
    TRDFStyleMapsRef GetRDFStyleMaps() override;
    void FreeRDFStyleMaps() override;
    TRDSeqList* GetSeqList(bool) override { return nullptr; }
    void DestroySeqList() override {}
    TRDMarkerList* GetMarkerList(bool create) override;
    void DestroyMarkerList() override;
    bool HasProgressHandler() override;
    void DoProgress(TRDLongOperation operation, TRDProgressStage stage, int percent) override;
    QString DoUrlNeeded(int id) override;
    void DoSaveRTFExtra(TRDRTFSaveArea area, void* obj, int index1, int index2, bool inStyleSheet,
                        QByteArray& rtfCode) override;
    void DoSaveHTMLExtra(TRDHTMLSaveArea area, bool cssVersion, QByteArray& htmlCode) override;
    void DoSaveParaToHTML(TCustomRDData* rdData, int itemNo, bool paraStart, bool cssVersion,
                          QByteArray& htmlCode) override;
    void DoReadHyperlink(const QString& target, const QString& extras, TRDLoadFormat docFormat, int& styleNo,
                         TRDTag& itemTag, QByteArray& itemName) override;
    void DoWriteHyperlink(int id, TCustomRDData* rdData, int itemNo, TRDSaveFormat format, QString& target,
                          QString& extras) override;
    bool DoImportPicture(const QString& location, int width, int height, QImage& graphic) override;
    QString DoItemHint(TCustomRDData* rdData, int itemNo, const QString& hint) override;
    bool DoRDFPictureNeeded(const QString& name, const TRDTag& tag, QImage& graphic) override;
    bool DoRDFControlNeeded(const QString& name, const TRDTag& tag, void*& control) override;
    void* DoRDFImageListNeeded(int imageListTag) override;
    void DoHTMLSaveImage(TCustomRDData* rdData, int itemNo, const QString& path, TColor backgroundColor,
                         QString& location, bool& doDefault) override;
    void DoSaveImage2(const QImage& graphic, TRDSaveFormat format, const QString& path, const QString& imagePrefix,
                      int& imageSaveNo, QString& location, bool& doDefault) override;
    bool DoSaveItemToFile(const QString& path, TCustomRDData* rdData, int itemNo, TRDSaveFormat format,
                          bool unicode, QByteArray& outStr) override;
    bool DoSaveComponentToFile(const QString& path, const void* saveMe, TRDSaveFormat format,
                               QByteArray& outStr) override;
    void DoItemAction(TRDItemAction action, TCustomRDItemInfo* item, QByteArray& text,
                      TCustomRDData* rdData) override;
    void DoControlAction(TRDControlAction action, int itemNo, void*& control) override;
    void ShowItemHint(const QString& hint) override;
    void Clear() override;

    // ---- animation (RDAnimator.cpp) ----
    // Animation was started: new animators join the running timer.
    bool AnimationStarted = false;
    std::unique_ptr<TRDAnimatorList> AnimatorList;
    bool AnimationsEnabled() override;
    void AddAnimator(std::unique_ptr<TRDAnimator>& animator) override;
    void ResetAnimations() override;

    // Events of the formatted document.
    bool HasJumpHandler() override;
    void DoJump(int id) override;
    void DoRDMouseMove(int id) override;
    bool HasRDMouseDownHandler() override;
    void DoRDMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int itemNo, int x, int y) override;
    bool HasRDMouseUpHandler() override;
    void DoRDMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int itemNo, int x, int y) override;
    bool HasRDRightClickHandler() override;
    void DoRDRightClick(const QByteArray& clickedWord, int styleNo, int x, int y) override;
    bool HasRDDblClickHandler() override;
    void DoRDDblClick(const QByteArray& clickedWord, int styleNo) override;
    bool HasCopyHandler() override;
    void DoCopy() override;
    void DoSelect() override;
    Qt::CursorShape GetNormalCursor() override;

    // Window questions.
    int GetScrollWidth() override;
    int GetScrollHeight() override;
    int GetLeftMargin() override;
    int GetRightMargin() override;
    int GetTopMargin() override;
    int GetBottomMargin() override;
    int GetMinTextWidth() override;
    int GetMaxTextWidth() override;
    int GetWidth() override;
    int GetHeight() override;
    int GetHOffset() override;
    int GetVOffset() override;
    int GetVAlignOffset() override;
    void GetOrigin(int& x, int& y) override;
    void GetPointOrigin(int& x, int& y) override;
    int GetVSmallStep() override;
    TRDBackground* GetBackground() override;
    TCanvas* GetCanvas() override;
    void AdjustVScrollUnits() override;
    void SetDocumentSize(int width, int height, bool setHorizontal) override;
    void ScrollToV(int y, bool redraw) override;
    void ScrollToH(int x) override;
    void CreateFontInfoCache(TCanvas* canvas) override;
    void ReleaseFontInfoCache(TRDFontInfoCache*& cache) override;
    TRDFontInfoCache* GetFontInfoCache(TCanvas* canvas, TCustomRDFormattedData* requester) override;
    bool IsControlFocused() override;
    QWidget* FocusControl() override;

    // ---- mouse, hypertext, checkpoints and drag start (RDRichDocMouse.cpp) ----
    // The data of the running drag (owned by the drag loop), or nil.
    QMimeData* DropSource = nullptr;
    bool CanStartDrag() override;
    bool GetDragSource(QMimeData*& data, Qt::DropActions& allowed) override;
    void DragFinished(bool moved) override;
    bool IsDragging() override;
    TRDDragDropCaretInfo* GetDragDropCaret() override;
    void PostDragStart() override;
    QWidget* DragSourceControl() override;
    bool HasCheckpointVisibleHandler() override;
    void DoCheckpointVisible(TRDCPInfo* checkpoint) override;
    TCPEventKind GetCPEventKind() override;
    void FocusOwner() override;

protected:
    void PaintBufferedBackground(TCanvas& canvas, const QRect& clip) override;
    void PaintBufferedDocument(TCanvas& canvas, const QRect& clip) override;

private:
    // The document answers for itself (it is not inside an item or a cell editor).
    bool OwnOptions();
};

// The viewer's document, made on first use through the control's
// CreateDocumentData, so that a derived control (the editor) supplies its
// own kind: a constructor cannot reach a derived class's override.
class TRichDocDataHolder {
public:
    explicit TRichDocDataHolder(TCustomRichDoc* owner) : FOwner(owner) {}
    // Makes the document when it does not exist yet.
    TRichDocRDData* get() const;
    TRichDocRDData* operator->() const { return get(); }
    TRichDocRDData& operator*() const { return *get(); }
    // Whether the document was made already.
    explicit operator bool() const { return FData != nullptr; }
    void reset() { FData.reset(); }

private:
    TCustomRichDoc* FOwner;
    mutable std::unique_ptr<TRichDocRDData> FData;
};

class TCustomRichDoc : public TRDScroller {
    friend class TRichDocDataHolder;

public:
    explicit TCustomRichDoc(QWidget* parent = nullptr);
    ~TCustomRichDoc() override;

    // The default word delimiters.
    static const QByteArray DefaultDelimiters;
    static constexpr TRDOptions DefaultOptions = 326949;
    static constexpr TRDFOptions DefaultRDFOptions = 49219;
    static constexpr TRDRTFOptions DefaultRTFOptions = 14;
    static constexpr uint16_t DefaultControlFlags = 0x0D03;

    // Settings the document reads.
    uint16_t ControlFlags = DefaultControlFlags;
    TRDOptions Options = DefaultOptions;
    TRDFOptions RDFOptions = DefaultRDFOptions;
    TRDRTFOptions RTFOptions = DefaultRTFOptions;
    uint8_t RDFLoadWarnings = 0;
    TRDFReaderStyleMode RDFTextStylesReadMode = TRDFReaderStyleMode::rdf_sInsertMerge;
    TRDFReaderStyleMode RDFParaStylesReadMode = TRDFReaderStyleMode::rdf_sInsertMerge;
    QByteArray Delimiters = DefaultDelimiters;
    int LeftMargin = 5, RightMargin = 5, TopMargin = 5, BottomMargin = 5;
    int MinTextWidth = 0, MaxTextWidth = 0;
    int MaxLength = 0;
    bool WordWrap = true;
    Qt::CursorShape Cursor = Qt::ArrowCursor;
    QString CurrentNoteText = QStringLiteral("?");
    QStringList DocProperties;

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TRDStyle* Style() const { return FStyle; }
    // Stores the sheet and repaints (with rdoFormatInvalidate); does not format.
    virtual void SetStyle(TRDStyle* value);
    TTextLayout VAlign() const { return FVAlign; }
    void SetVAlign(TTextLayout value);
    void SetBiDiMode(TRDBiDiMode value) override;
    void SetVSmallStep(int step) override;
    // After the palette changed: the items and the background picture follow it.
    void UpdatePalette() override;
    TRDTabNavigationType TabNavigation() const;
    void SetTabNavigation(TRDTabNavigationType value);
    TBackgroundStyle BackgroundStyle() const;
    void SetBackgroundStyle(TBackgroundStyle value);
    // The picture stays owned by the background; assigning copies it.
    TGraphic* BackgroundBitmap() const;
    void SetBackgroundBitmap(const TGraphic* graphic);
    bool AllowSelection() const { return Options & rdoAllowSelection; }
    bool SingleClick() const { return Options & rdoSingleClick; }
    // Window colour: Color, else the sheet's colour, else clWindow.
    TColor GetEffectiveColor() const;

    // The current-line band; painting hands the values to the background.
    bool HasSelectColor() const { return FHasSelectColor; }
    void SetHasSelectColor(bool value) { FHasSelectColor = value; }
    TColor SelectColor() const { return FSelectColor; }
    void SetSelectColor(TColor value) { FSelectColor = value; }
    int CursorPos() const { return FCursorPos; }
    void SetCursorPos(int value) { FCursorPos = value; }

    // The document, made on first use (CreateDocumentData).
    TRichDocRDData* DocumentData() const { return FDocumentData.get(); }
    TRDBackground* Background() const { return FBackground.get(); }
    TRDDocParameters* GetDocParameters();
    bool HasDocParameters() const { return FDocParameters != nullptr; }

    // The document.
    void ClearDocument();
    // Text in the item's own bytes: ANSI of the style's code page, or UTF-16LE for a Unicode style.
    void AddTextInNewParagraph(const QByteArray& text, int styleNo, int paraNo);
    void AddTextToParagraph(const QByteArray& text, int styleNo);
    bool AddMultilineText(const QByteArray& text, int styleNo, int paraNo, const TRDTag& tag);
    // The same from Unicode text, encoded as the text style wants it.
    void AddTextInNewParagraph(const QString& text, int styleNo, int paraNo);
    void AddTextToParagraph(const QString& text, int styleNo);
    bool AddMultilineText(const QString& text, int styleNo, int paraNo, const TRDTag& tag);
    // The bytes text is stored as in an item of styleNo added to paragraph style paraNo (-1: the last one's).
    QByteArray EncodeForStyle(const QString& text, int styleNo, int paraNo) const;
    void FormatDocument();
    void Reformat();
    void DeleteItemRange(int firstItemNo, int count);
    int GetItemCount() const;
    QByteArray GetItemText(int itemNo) const;
    // The item's text as characters, whatever its encoding.
    QString GetItemTextW(int itemNo) const;
    int GetItemStyle(int itemNo) const;
    TCustomRDItemInfo* GetItem(int itemNo) const;
    bool IsNewLine(int itemNo) const;
    int GetOffsetBeforeItem(int itemNo) const;
    int GetOffsetAfterItem(int itemNo) const;
    int GetDocumentHeight() const;
    int GetFirstJumpNo() const;
    void SetFirstJumpNo(int value);

    bool GetItemExtraIntProperty(int itemNo, int propertyId, int& value) const;
    bool GetItemExtraStrProperty(int itemNo, int propertyId, QString& value) const;

    // Output: RDF with the layout record (margins, text widths, direction),
    // the background and the colour; plain text, in ANSI or in UTF-16.
    bool SaveRDFToStream(TRDStream& stream, bool selectionOnly);
    bool SaveTextToStream(const QString& path, TRDStream& stream, int lineWidth, bool selectionOnly, bool textOnly);
    bool SaveTextToStreamW(const QString& path, TRDStream& stream, int lineWidth, bool selectionOnly,
                           bool textOnly);
    // A layout record read with a document: margins and text widths, then
    // the direction, which then does not format the document.
    void ApplyLayout(const TRDLayoutInfo& layout);
    // The handlers of another viewer (a cell editor takes its table's).
    void AssignEvents(const TCustomRichDoc& source);

    // The selection (on a formatted document).
    void SelectAllItems();
    void Deselect();
    bool HasSelection();
    void GetSelectionBounds(int& startItemNo, int& startItemOffs, int& endItemNo, int& endItemOffs,
                            bool normalize) const;
    void SetSelectionBounds(int startItemNo, int startItemOffs, int endItemNo, int endItemOffs);
    void ClearSoftPageBreaks();
    void InvalidateNested();
    virtual void ClearFormatting();
    virtual void RefreshNested(bool repaint);

    // What the control paints without a style sheet.
    QString NoStyleMessage() const;
    // The canvas the document measures on outside painting (96 dpi).
    TCanvas* Canvas();

    // Events.
    std::function<void(QObject* sender, int id)> OnJump;
    std::function<void(QObject* sender, int id)> OnRDMouseMove;
    std::function<void(TCustomRichDoc* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int itemNo,
                       int x, int y)>
        OnRDMouseDown, OnRDMouseUp;
    std::function<void(TCustomRichDoc* sender, const QByteArray& clickedWord, int styleNo, int x, int y)>
        OnRDRightClick;
    std::function<void(TCustomRichDoc* sender, const QByteArray& clickedWord, int styleNo)> OnRDDblClick;
    std::function<void(QObject* sender)> OnCopy;
    std::function<void(QObject* sender)> OnSelect;
    std::function<void(TCustomRichDoc* sender, TCanvas& canvas, bool prepaint)> OnPaint;
    std::function<void(TCustomRichDoc* sender, TRDLongOperation operation, TRDProgressStage stage, int percent)>
        OnProgress;
    std::function<void(TCustomRichDoc* sender, int id, QString& url)> OnURLNeeded;
    std::function<void(TCustomRichDoc* sender, TCustomRDData* rdData, int itemNo, QString& hintText)> OnItemHint;
    std::function<void(TCustomRichDoc* sender, TRDItemAction action, TCustomRDItemInfo* item, QByteArray& text,
                       TCustomRDData* rdData)>
        OnItemAction;
    std::function<void(TCustomRichDoc* sender, TRDControlAction action, int itemNo, void*& control)>
        OnControlAction;
    std::function<void(TCustomRichDoc* sender, const QString& target, const QString& extras, TRDLoadFormat format,
                       int& styleNo, TRDTag& itemTag, QByteArray& itemName)>
        OnReadHyperlink;
    std::function<void(TCustomRichDoc* sender, int id, TCustomRDData* rdData, int itemNo, TRDSaveFormat format,
                       QString& target, QString& extras)>
        OnWriteHyperlink;
    std::function<void(TCustomRichDoc* sender, const QString& location, int width, int height, QImage& graphic)>
        OnImportPicture;
    std::function<void(TCustomRichDoc* sender, const QString& name, const TRDTag& tag, QImage& graphic)>
        OnRDFPictureNeeded;
    std::function<void(TCustomRichDoc* sender, const QString& name, const TRDTag& tag, void*& control)>
        OnRDFControlNeeded;
    std::function<void(TCustomRichDoc* sender, int imageListTag, void*& imageList)> OnRDFImageListNeeded;
    std::function<void(TCustomRichDoc* sender, TRDRTFSaveArea area, void* obj, int index1, int index2,
                       bool inStyleSheet, QByteArray& rtfCode)>
        OnSaveRTFExtra;
    std::function<void(TCustomRichDoc* sender, TRDHTMLSaveArea area, bool cssVersion, QByteArray& htmlCode)>
        OnSaveHTMLExtra;
    std::function<void(TCustomRichDoc* sender, TCustomRDData* rdData, int itemNo, bool paraStart, bool cssVersion,
                       QByteArray& htmlCode)>
        ParaHtmlHook;
    std::function<void(TCustomRichDoc* sender, TCustomRDData* rdData, int itemNo, const QString& path,
                       TColor backgroundColor, QString& location, bool& doDefault)>
        OnHTMLSaveImage;
    std::function<void(TCustomRichDoc* sender, const QImage& graphic, TRDSaveFormat format, const QString& path,
                       const QString& imagePrefix, int& imageSaveNo, QString& location, bool& doDefault)>
        OnSaveImage2;
    std::function<void(TCustomRichDoc* sender, const QString& path, TCustomRDData* rdData, int itemNo,
                       TRDSaveFormat format, bool unicode, QByteArray& outStr, bool& doDefault)>
        OnSaveItemToFile;
    std::function<void(TCustomRichDoc* sender, const QString& path, const void* saveMe, TRDSaveFormat format,
                       QByteArray& outStr)>
        OnSaveComponentToFile;

    // ---- keyboard, focus, copying, posted records and the text methods
    // (RDRichDocInput.cpp, RDRichDocText.cpp) ----

    // The selection to the clipboard: every format, or only those Options
    // enables (true when one is enabled or OnCopy is assigned). Nothing is
    // put without a selection.
    void CopySelection();
    bool CopySelectionDefault();
    // A copy asked for by the keyboard: an open cell editor copies its own
    // selection on the next turn of the event loop; otherwise CopySelectionDefault.
    void CopyRequested();
    // The shortcuts of the controls (Shift does not matter for copying).
    static bool IsCopyShortcut(TShiftState shift, uint16_t key);
    static bool IsCutShortcut(TShiftState shift, uint16_t key);
    static bool IsPasteShortcut(TShiftState shift, uint16_t key);

    // The document as plain text: a paragraph break is one #13, a tab item
    // #9, another item a space. With cfWindowText clear (or while the control
    // goes) they work on the widget's window title instead.
    int GetTextLength();
    // At most textMax - 1 characters; nothing for textMax below 1.
    QString GetText(int textMax = INT_MAX);
    // Replaces the document with the text (lines split at CR LF, CR or LF,
    // style 0, paragraph style 0) and formats it.
    bool SetText(const QString& text);
    // The selection as a plain start and a signed length (negative when it
    // was made backwards); 0, 0 without one.
    void GetSelLinear(int& start, int& length);
    // Selects length characters from start; nothing when an end lies
    // outside the text or the two ends lie in different documents.
    void SetSelLinear(int start, int length);
    // count characters from start (negative: to the end; 0: none).
    QString GetTextRange(int start, int count);

    // A nested document's record: the control owns it from now on, fires
    // its event on a later turn of the event loop and frees it.
    void PostMessageData(std::unique_ptr<TRDMessageData> data);
    // The drag of the selection starts on the next turn of the event loop.
    void PostDragStart();

    // The menu of the right button and of the keyboard's menu key (not owned).
    QPointer<QMenu> PopupMenu;
    std::function<void(QObject* sender)> OnClick;
    std::function<void(QObject* sender)> OnDblClick;
    std::function<void(TCustomRichDoc* sender, QObject* source, int x, int y)> OnDragDrop;
    std::function<void(TCustomRichDoc* sender, QObject* target, int x, int y)> OnEndDrag;
    // ---- mouse, hypertext, checkpoints and drag start (RDRichDocMouse.cpp) ----
    TCPEventKind CPEventKind = TCPEventKind::cpeNone;
    std::function<void(TCustomRichDoc* sender, TRDCPInfo* checkpointData)> OnCheckpointVisible;
    // Scrolling while the mouse selects outside the window: the direction
    // of the next step (pixels horizontally, steps vertically).
    int AutoScrollDX = 0, AutoScrollDY = 0;
    bool AutoScrollTimerOn() const { return FAutoScrollTimer.isActive(); }
    // Every 100 ms (300 ms when slow) while the left button is down.
    void StartAutoScrollTimer(bool slow);
    void StopAutoScrollTimer();
    // One step of the auto-scroll timer.
    void AutoScrollStep();
    // The mouse, when it is over the window, is moved in place: hover and
    // cursor follow the document after a scroll.
    void RefreshMouse();
    // Starts the drag of the selection that PostDragStart asked for (after
    // the press handler has returned).
    void StartDragOfSelection();
    // What a drag of the selection carries: the formats a copy puts.
    virtual QMimeData* CreateDragData();
    // ---- live spelling (RDLiveSpell.cpp) ----
    // Asked on the spelling thread about every word: the handler must not touch widgets.
    std::function<void(TCustomRichDoc* sender, const QString& word, int styleNo, bool& misspelled)>
        OnSpellingCheck;
    TRDLiveSpellingMode LiveSpellingMode = TRDLiveSpellingMode::rdlspManualStart;
    // Starts checking from the top (with cfOwnOptions, OnSpellingCheck and a Style only).
    void StartLiveSpelling();
    // Ends the thread and removes every mark.
    void StopLiveSpelling();
    void ClearLiveSpellingResults();
    void ContinueSpelling();
    void RestartSpellingAt(TCustomRDData* rdData, int itemNo, int offset);
    void NotifySpellingCellRemoved(TCustomRDData* cellData);
    void SpellingCharsTyped(TCustomRDData* rdData, int itemNo, int offset, int count);
    void SpellingCharsDeleted(TCustomRDData* rdData, int itemNo, int offset, int count);
    void SpellingWordLeft(TCustomRDData* rdData, int itemNo);
    TRDWordEnumThread* SpellingThread() const { return FSpellingThread.get(); }

    // ---- animation (RDAnimator.cpp) ----
    TRDAnimationMode AnimationMode() const { return FAnimationMode; }
    // rdaniDisabled stops the animation and forgets every animator.
    void SetAnimationMode(TRDAnimationMode value);
    void StartAnimation();
    void StopAnimation();
    // Stops the animation; the list forgets the animators (their items free them).
    void ResetAnimation();
    // One tick of the animation timer: steps the animators and sets the
    // timer to the smallest time left (stops it without animators).
    void AnimationTimerTick();
    // The interval the animation timer runs at; 0 when it does not run.
    int AnimationTimerInterval() const;

    // The hint the hovered item gave last (the control's own hint text).
    QString Hint() const { return FHint; }
    void SetHint(const QString& value) { FHint = value; }

protected:
    // Makes the document of the control; an editor answers its own kind.
    virtual std::unique_ptr<TRichDocRDData> CreateDocumentData();
    void CreateWnd() override;
    void DoVScrolled() override;
    void DoHScrolled() override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void BackgroundChanged();
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    // Paints clip without a style sheet: the message naming the control.
    void PaintNoStyle(TCanvas& canvas, const QRect& clip);

    // ---- keyboard, focus and posted records (RDRichDocInput.cpp) ----
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    // Fires the event of a posted record.
    virtual void DispatchMessageData(const TRDMessageData& data);
    // The control's click and double click (from posted records).
    virtual void Click();
    virtual void DblClick();

private:
    TRichDocDataHolder FDocumentData{this};
    std::unique_ptr<TRDBackground> FBackground;
    std::unique_ptr<TRDDocParameters> FDocParameters;
    int FStyleNotification = -1;
    TRDStyle* FStyle = nullptr;
    TColor FColor = clNone;
    TTextLayout FVAlign = TTextLayout::tlTop;
    bool FHasSelectColor = false;
    TColor FSelectColor = 0;
    int FCursorPos = 0;
    QString FHint;
    QImage FMeasureImage;
    std::unique_ptr<QPainter> FMeasurePainter;
    std::unique_ptr<TCanvas> FMeasureCanvas;
    bool FInitialized = false;

    // ---- focus (RDRichDocInput.cpp) ----
    // The focus arrived from from (nil: from no widget) for reason.
    void FocusArrived(QWidget* from, Qt::FocusReason reason);
    // The selection is drawn in other colours with and without the focus.
    void InvalidateForFocusColors();
    int FPendingFocusReason = -1;
    bool FFocusHooked = false;
    // The mouse: the auto-scroll timer, and the last position and state the control saw.
    QBasicTimer FAutoScrollTimer;
    QPoint FLastMousePos;
    TRDShiftState FLastShift;
    void PressAt(QMouseEvent* e, bool secondOfDouble);
    // Live spelling and animation.
    std::unique_ptr<TRDWordEnumThread> FSpellingThread;
    std::unique_ptr<TRDAnimationTimer> FAnimationTimer;
    TRDAnimationMode FAnimationMode = TRDAnimationMode::rdaniManualStart;
};

// The viewer as screens place it.
class TRichDoc : public TCustomRichDoc {
public:
    using TCustomRichDoc::TCustomRichDoc;
};
