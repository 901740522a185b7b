#include "viewer/RDRichDoc.h"

#include <utility>

#include "viewer/RDViewerGuard.h"

#include <algorithm>
#include <cstdio>
#include <exception>

#include <QtGui/QCursor>
#include <QtGui/QPaintEvent>
#include <QtGui/QResizeEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QToolTip>

#include "viewer/RDAnimator.h"
#include "document/RDBack.h"
#include "document/RDDocParams.h"
#include "document/RDFDocIO.h"
#include "viewer/RDLiveSpell.h"
#include "items/RDMarkerItems.h"
#include "core/RDMarkup.h"
#include "styles/RDStyle.h"
#include "text/RDTextCanvas.h"
#include "core/RDUnicode.h"

// ---- the document of a viewer ----

TRichDocRDData::TRichDocRDData(TCustomRichDoc* owner) : Owner(owner)
{
    CreateItemList();
}

TRichDocRDData::~TRichDocRDData()
{
    Clear();
    ClearFormatting();
}

bool TRichDocRDData::OwnOptions()
{
    // A root document has no one else to ask.
    return (GetControlFlags() & cfOwnOptions) || GetAbsoluteRootData() == this;
}

bool TRichDocRDData::GetWordWrap()
{
    return OwnOptions() ? Owner->WordWrap : TRDControlData::GetWordWrap();
}

TRDOptions TRichDocRDData::GetOptions() { return Owner->Options; }
void TRichDocRDData::SetOptions(TRDOptions value) { Owner->Options = value; }
TRDFOptions TRichDocRDData::GetRDFOptions() { return Owner->RDFOptions; }
void TRichDocRDData::SetRDFOptions(TRDFOptions value) { Owner->RDFOptions = value; }
TRDRTFOptions TRichDocRDData::GetRTFOptions() { return Owner->RTFOptions; }
void TRichDocRDData::SetRTFOptions(TRDRTFOptions value) { Owner->RTFOptions = value; }
uint8_t TRichDocRDData::GetRDFLoadWarnings() { return Owner->RDFLoadWarnings; }
void TRichDocRDData::SetRDFLoadWarnings(uint8_t value) { Owner->RDFLoadWarnings = value; }
TRDFReaderStyleMode TRichDocRDData::GetRDFTextStylesReadMode() { return Owner->RDFTextStylesReadMode; }
TRDFReaderStyleMode TRichDocRDData::GetRDFParaStylesReadMode() { return Owner->RDFParaStylesReadMode; }
uint16_t TRichDocRDData::GetControlFlags() { return Owner->ControlFlags; }
void TRichDocRDData::SetControlFlags(uint16_t value) { Owner->ControlFlags = value; }

int TRichDocRDData::GetMaxLength()
{
    return OwnOptions() ? Owner->MaxLength : TRDControlData::GetMaxLength();
}

TRDStyle* TRichDocRDData::GetRDStyle() { return Owner->Style(); }
void* TRichDocRDData::GetPaletteHandle() { return Owner->PaletteHandle; }
void* TRichDocRDData::GetLogPalette() { return Owner->LogPalette.get(); }
TRDPaletteAction TRichDocRDData::GetDoInPaletteMode() { return Owner->DoInPaletteMode(); }
TRDBiDiMode TRichDocRDData::GetBiDiMode() { return Owner->BiDiMode(); }
TColor TRichDocRDData::GetColor() { return Owner->GetEffectiveColor(); }
TRDHost* TRichDocRDData::GetHost() { return Owner->ViewportHost(); }
QByteArray TRichDocRDData::GetDelimiters() { return Owner->Delimiters; }

TRDDocParameters* TRichDocRDData::GetDocParameters(bool create)
{
    return create || Owner->HasDocParameters() ? Owner->GetDocParameters() : nullptr;
}

QStringList* TRichDocRDData::GetDocProperties()
{
    return OwnOptions() ? &Owner->DocProperties : nullptr;
}

QString TRichDocRDData::GetNoteText()
{
    return OwnOptions() ? Owner->CurrentNoteText : TRDControlData::GetNoteText();
}

TCustomRDData* TRichDocRDData::GetChosenSubData()
{
    return Owner->ChosenData ? Owner->ChosenData->GetActiveData() : nullptr;
}

TCustomRDItemInfo* TRichDocRDData::GetChosenSubItem() { return Owner->ChosenItem; }

void TRichDocRDData::ChooseSubData(TCustomRDData* data, TCustomRDItemInfo* item)
{
    Owner->SetChosenData(dynamic_cast<TCustomRDFormattedData*>(data), item);
    TRDControlData::ChooseSubData(data, item);
}

void TRichDocRDData::ReplaceChosenSubData(TCustomRDData* data)
{
    Owner->SetChosenDataOnly(dynamic_cast<TCustomRDFormattedData*>(data));
}

void TRichDocRDData::UnchooseSubData(TCustomRDData* data)
{
    if (State & dsUnchoosingSubData)
        return;
    const TRDStateBits unchoosing(State, dsUnchoosingSubData);
    TRDControlData::UnchooseSubData(data);
    Owner->UnchooseData(dynamic_cast<TCustomRDFormattedData*>(data));
}

TCustomRDData::TRDFStyleMapsRef TRichDocRDData::GetRDFStyleMaps()
{
    return {&RDFTextStylesMap, &RDFParaStylesMap, &RDFListStylesMap};
}

void TRichDocRDData::FreeRDFStyleMaps()
{
    RDFTextStylesMap.reset();
    RDFParaStylesMap.reset();
    RDFListStylesMap.reset();
}

TRDMarkerList* TRichDocRDData::GetMarkerList(bool create)
{
    if (!OwnOptions())
        return TRDControlData::GetMarkerList(create);
    if (!MarkerList && create) {
        MarkerList = std::make_unique<TRDMarkerList>();
        MarkerList->PriorMarkerList = GetPrevMarkerList();
    }
    return MarkerList.get();
}

void TRichDocRDData::DestroyMarkerList()
{
    if (OwnOptions())
        MarkerList.reset();
    else
        TRDControlData::DestroyMarkerList();
}

bool TRichDocRDData::HasProgressHandler() { return bool(Owner->OnProgress); }

void TRichDocRDData::DoProgress(TRDLongOperation operation, TRDProgressStage stage, int percent)
{
    if (Owner->OnProgress)
        Owner->OnProgress(Owner, operation, stage, percent);
}

QString TRichDocRDData::DoUrlNeeded(int id)
{
    QString url;
    if (Owner->OnURLNeeded)
        Owner->OnURLNeeded(Owner, id, url);
    return url;
}

void TRichDocRDData::DoSaveRTFExtra(TRDRTFSaveArea area, void* obj, int index1, int index2, bool inStyleSheet,
                                    QByteArray& rtfCode)
{
    rtfCode.clear();
    if (Owner->OnSaveRTFExtra)
        Owner->OnSaveRTFExtra(Owner, area, obj, index1, index2, inStyleSheet, rtfCode);
}

void TRichDocRDData::DoSaveHTMLExtra(TRDHTMLSaveArea area, bool cssVersion, QByteArray& htmlCode)
{
    htmlCode.clear();
    if (Owner->OnSaveHTMLExtra)
        Owner->OnSaveHTMLExtra(Owner, area, cssVersion, htmlCode);
}

void TRichDocRDData::DoSaveParaToHTML(TCustomRDData* rdData, int itemNo, bool paraStart, bool cssVersion,
                                      QByteArray& htmlCode)
{
    htmlCode.clear();
    if (Owner->ParaHtmlHook)
        Owner->ParaHtmlHook(Owner, rdData, itemNo, paraStart, cssVersion, htmlCode);
}

void TRichDocRDData::DoReadHyperlink(const QString& target, const QString& extras, TRDLoadFormat docFormat,
                                     int& styleNo, TRDTag& itemTag, QByteArray& itemName)
{
    // Bullets are reported as hotspots and pictures as hot pictures.
    if (styleNo == BulletStyleNo)
        styleNo = HotspotStyleNo;
    else if (styleNo == PictureStyleNo)
        styleNo = HotPictureStyleNo;
    if (Owner->OnReadHyperlink)
        Owner->OnReadHyperlink(Owner, target, extras, docFormat, styleNo, itemTag, itemName);
}

void TRichDocRDData::DoWriteHyperlink(int id, TCustomRDData* rdData, int itemNo, TRDSaveFormat format,
                                      QString& target, QString& extras)
{
    if (!OwnOptions()) {
        TRDControlData::DoWriteHyperlink(id, rdData, itemNo, format, target, extras);
        return;
    }
    target.clear();
    extras.clear();
    if (rdData && itemNo >= 0 && itemNo < rdData->ItemCount()) {
        const QString& hint = rdData->ItemAt(itemNo)->Hint;
        if (!hint.isEmpty())
            extras = QString::fromUtf8(MakeHintAttribute(int(format), hint.toUtf8()));
    }
    if (Owner->OnWriteHyperlink)
        Owner->OnWriteHyperlink(Owner, id, rdData, itemNo, format, target, extras);
    else
        target = DoUrlNeeded(id);
}

bool TRichDocRDData::DoImportPicture(const QString& location, int width, int height, QImage& graphic)
{
    if (Owner->OnImportPicture)
        Owner->OnImportPicture(Owner, location, width, height, graphic);
    return !graphic.isNull();
}

QString TRichDocRDData::DoItemHint(TCustomRDData* rdData, int itemNo, const QString& hint)
{
    QString text;
    if (itemNo >= 0 && rdData && itemNo < rdData->ItemCount()) {
        text = rdData->ItemAt(itemNo)->Hint;
        if (Owner->OnItemHint)
            Owner->OnItemHint(Owner, rdData, itemNo, text);
    }
    return text.isEmpty() ? hint : text;
}

bool TRichDocRDData::DoRDFPictureNeeded(const QString& name, const TRDTag& tag, QImage& graphic)
{
    if (!Owner->OnRDFPictureNeeded)
        return false;
    Owner->OnRDFPictureNeeded(Owner, name, tag, graphic);
    return !graphic.isNull();
}

bool TRichDocRDData::DoRDFControlNeeded(const QString& name, const TRDTag& tag, void*& control)
{
    control = nullptr;
    if (Owner->OnRDFControlNeeded)
        Owner->OnRDFControlNeeded(Owner, name, tag, control);
    return control != nullptr;
}

void* TRichDocRDData::DoRDFImageListNeeded(int imageListTag)
{
    void* list = nullptr;
    if (Owner->OnRDFImageListNeeded)
        Owner->OnRDFImageListNeeded(Owner, imageListTag, list);
    return list;
}

void TRichDocRDData::DoHTMLSaveImage(TCustomRDData* rdData, int itemNo, const QString& path, TColor backgroundColor,
                                     QString& location, bool& doDefault)
{
    doDefault = true;
    if (Owner->OnHTMLSaveImage)
        Owner->OnHTMLSaveImage(Owner, rdData, itemNo, path, backgroundColor, location, doDefault);
}

void TRichDocRDData::DoSaveImage2(const QImage& graphic, TRDSaveFormat format, const QString& path,
                                  const QString& imagePrefix, int& imageSaveNo, QString& location, bool& doDefault)
{
    doDefault = true;
    if (Owner->OnSaveImage2)
        Owner->OnSaveImage2(Owner, graphic, format, path, imagePrefix, imageSaveNo, location, doDefault);
}

bool TRichDocRDData::DoSaveItemToFile(const QString& path, TCustomRDData* rdData, int itemNo, TRDSaveFormat format,
                                      bool unicode, QByteArray& outStr)
{
    if (!Owner->OnSaveItemToFile)
        return false;
    bool doDefault = true;
    Owner->OnSaveItemToFile(Owner, path, rdData, itemNo, format, unicode, outStr, doDefault);
    return !doDefault;
}

bool TRichDocRDData::DoSaveComponentToFile(const QString& path, const void* saveMe, TRDSaveFormat format,
                                           QByteArray& outStr)
{
    outStr.clear();
    if (Owner->OnSaveComponentToFile)
        Owner->OnSaveComponentToFile(Owner, path, saveMe, format, outStr);
    return !outStr.isEmpty();
}

void TRichDocRDData::DoItemAction(TRDItemAction action, TCustomRDItemInfo* item, QByteArray& text,
                                  TCustomRDData* rdData)
{
    if (Owner->OnItemAction)
        Owner->OnItemAction(Owner, action, item, text, rdData);
}

void TRichDocRDData::DoControlAction(TRDControlAction action, int itemNo, void*& control)
{
    if (OwnOptions() && Owner->OnControlAction)
        Owner->OnControlAction(Owner, action, itemNo, control);
}

void TRichDocRDData::ShowItemHint(const QString& hint)
{
    if (!OwnOptions()) {
        TRDControlData::ShowItemHint(hint);
        return;
    }
    const QString old = Owner->Hint();
    Owner->SetHint(hint);
    if (HintHook)
        HintHook(Owner);
    else if (hint.isEmpty())
        QToolTip::hideText();
    else if (hint != old)
        QToolTip::showText(QCursor::pos(), hint, Owner);
}

void TRichDocRDData::Clear()
{
    // The spelling thread goes before the items it reads.
    Owner->StopLiveSpelling();
    if (Owner->AnimationMode() == TRDAnimationMode::rdaniOnFormat)
        Owner->StopAnimation();
    TRDControlData::Clear();
}

bool TRichDocRDData::HasJumpHandler() { return bool(Owner->OnJump); }

void TRichDocRDData::DoJump(int id)
{
    if (Owner->OnJump)
        Owner->OnJump(Owner, id);
}

void TRichDocRDData::DoRDMouseMove(int id)
{
    if (Owner->OnRDMouseMove && !Owner->Destroying())
        Owner->OnRDMouseMove(Owner, id);
}

bool TRichDocRDData::HasRDMouseDownHandler() { return bool(Owner->OnRDMouseDown); }

void TRichDocRDData::DoRDMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int itemNo, int x, int y)
{
    if (Owner->OnRDMouseDown)
        Owner->OnRDMouseDown(Owner, button, shift, itemNo, x, y);
}

bool TRichDocRDData::HasRDMouseUpHandler() { return bool(Owner->OnRDMouseUp); }

void TRichDocRDData::DoRDMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int itemNo, int x, int y)
{
    if (Owner->OnRDMouseUp)
        Owner->OnRDMouseUp(Owner, button, shift, itemNo, x, y);
}

bool TRichDocRDData::HasRDRightClickHandler() { return bool(Owner->OnRDRightClick); }

void TRichDocRDData::DoRDRightClick(const QByteArray& clickedWord, int styleNo, int x, int y)
{
    if (Owner->OnRDRightClick)
        Owner->OnRDRightClick(Owner, clickedWord, styleNo, x, y);
}

bool TRichDocRDData::HasRDDblClickHandler() { return bool(Owner->OnRDDblClick); }

void TRichDocRDData::DoRDDblClick(const QByteArray& clickedWord, int styleNo)
{
    if (Owner->OnRDDblClick)
        Owner->OnRDDblClick(Owner, clickedWord, styleNo);
}

bool TRichDocRDData::HasCopyHandler() { return bool(Owner->OnCopy); }

void TRichDocRDData::DoCopy()
{
    if (Owner->OnCopy)
        Owner->OnCopy(Owner);
}

void TRichDocRDData::DoSelect()
{
    if (Owner->OnSelect && !Owner->Destroying() && Owner->HandleAllocated())
        Owner->OnSelect(Owner);
}

Qt::CursorShape TRichDocRDData::GetNormalCursor() { return Owner->Cursor; }

int TRichDocRDData::GetScrollWidth() { return Owner->DocWidth; }
int TRichDocRDData::GetScrollHeight() { return Owner->DocHeight; }
int TRichDocRDData::GetLeftMargin() { return Owner->LeftMargin; }
int TRichDocRDData::GetRightMargin() { return Owner->RightMargin; }
int TRichDocRDData::GetTopMargin() { return Owner->TopMargin; }
int TRichDocRDData::GetBottomMargin() { return Owner->BottomMargin; }
int TRichDocRDData::GetMinTextWidth() { return Owner->MinTextWidth; }
int TRichDocRDData::GetMaxTextWidth() { return Owner->MaxTextWidth; }
int TRichDocRDData::GetWidth() { return Owner->ClientWidth(); }
int TRichDocRDData::GetHeight() { return Owner->ClientHeight(); }
int TRichDocRDData::GetHOffset() { return Owner->HPos; }

int TRichDocRDData::GetVOffset()
{
    return Owner->VPos * Owner->VSmallStep - GetVAlignOffset();
}

int TRichDocRDData::GetVAlignOffset()
{
    int offset = 0;
    switch (Owner->VAlign()) {
    case TTextLayout::tlTop: break;
    case TTextLayout::tlCenter: offset = (Owner->ClientHeight() - DocumentHeight) / 2; break;
    case TTextLayout::tlBottom: offset = Owner->ClientHeight() - DocumentHeight; break;
    }
    return std::max(0, offset);
}

void TRichDocRDData::GetOrigin(int& x, int& y)
{
    x = 0;
    y = GetVAlignOffset();
}

void TRichDocRDData::GetPointOrigin(int& x, int& y)
{
    x = 0;
    y = GetVAlignOffset();
}

int TRichDocRDData::GetVSmallStep() { return Owner->VSmallStep; }
TRDBackground* TRichDocRDData::GetBackground() { return Owner->Background(); }
TCanvas* TRichDocRDData::GetCanvas() { return Owner->Canvas(); }

void TRichDocRDData::AdjustVScrollUnits()
{
    Owner->AdjustVScrollUnits(DocumentHeight);
}

void TRichDocRDData::SetDocumentSize(int width, int height, bool setHorizontal)
{
    const int step = std::max(1, Owner->VSmallStep);
    Owner->UpdateScrollBars(width, height / step + (height % step != 0 ? 1 : 0), true, setHorizontal);
}

void TRichDocRDData::ScrollToV(int y, bool redraw)
{
    if (redraw)
        Owner->ScrollToPixels(y);
    else
        Owner->ScrollToPixelsNoRedraw(y);
}

void TRichDocRDData::ScrollToH(int x) { Owner->SetHPos(x); }

void TRichDocRDData::CreateFontInfoCache(TCanvas* canvas)
{
    const uint16_t flags = GetControlFlags();
    FontInfoCache = CreateFontInfoCacheFor(this, GetRDStyle(), canvas, flags & cfStylePixelsPerInch,
                                           flags & cfPrinting);
}

void TRichDocRDData::ReleaseFontInfoCache(TRDFontInfoCache*& cache)
{
    if (cache != nullptr && cache == FontInfoCache.get())
        FontInfoCache.release();
    TRDControlData::ReleaseFontInfoCache(cache);
}

TRDFontInfoCache* TRichDocRDData::GetFontInfoCache(TCanvas* canvas, TCustomRDFormattedData* requester)
{
    if (FontInfoCache)
        return FontInfoCache.get();
    return TRDControlData::GetFontInfoCache(canvas, requester);
}

bool TRichDocRDData::IsControlFocused()
{
    if (Owner->HasFocusWithin())
        return true;
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && Owner->isAncestorOf(focus);
}

QWidget* TRichDocRDData::FocusControl() { return Owner; }

void TRichDocRDData::PaintBufferedBackground(TCanvas& canvas, const QRect& clip)
{
    PaintBackground(canvas, clip);
}

void TRichDocRDData::PaintBufferedDocument(TCanvas& canvas, const QRect& clip)
{
    PaintDocument(canvas, clip, false, false, false, false);
}

// ---- the control ----

const QByteArray TCustomRichDoc::DefaultDelimiters = QByteArray(" .;,:(){}\"/\\<>!?[]\x91\x92\x93\x94-+*=\xA0\x84", 28);

TRichDocRDData* TRichDocDataHolder::get() const
{
    if (!FData)
        FData = FOwner->CreateDocumentData();
    return FData.get();
}

TCustomRichDoc::TCustomRichDoc(QWidget* parent) : TRDScroller(parent)
{
    // The document is made on first use, through the most derived CreateDocumentData.
    FBackground = std::make_unique<TRDBackground>(true);
    resize(100, 40);
    viewport()->setMouseTracking(true);
    SetBorderStyle(TBorderStyle::bsSingle);
    FInitialized = true;
}

TCustomRichDoc::~TCustomRichDoc()
{
    FDestroying = true;
    if (FStyle != nullptr && FStyleNotification >= 0)
        FStyle->RemoveFreeNotification(FStyleNotification);
    StopLiveSpelling();
    StopAnimation();
    FBackground.reset();
    if (FDocumentData)
        ClearDocument();
    FDocumentData.reset();
    FAnimationTimer.reset();
    FDocParameters.reset();
    FMeasureCanvas.reset();
    if (FMeasurePainter)
        FMeasurePainter->end();
}

std::unique_ptr<TRichDocRDData> TCustomRichDoc::CreateDocumentData()
{
    return std::make_unique<TRichDocRDData>(this);
}

TCanvas* TCustomRichDoc::Canvas()
{
    if (!FMeasureCanvas) {
        FMeasureImage = QImage(16, 16, QImage::Format_RGB32);
        FMeasureImage.setDotsPerMeterX(qRound(96 / 0.0254));
        FMeasureImage.setDotsPerMeterY(qRound(96 / 0.0254));
        FMeasurePainter = std::make_unique<QPainter>(&FMeasureImage);
        FMeasureCanvas = std::make_unique<TCanvas>(*FMeasurePainter);
    }
    return FMeasureCanvas.get();
}

void TCustomRichDoc::SetColor(TColor value)
{
    if (value == FColor)
        return;
    FColor = value;
    // Animators draw over what lies behind them: they start again.
    if (FDocumentData)
        FDocumentData->ResetAnimations();
    viewport()->update();
}

void TCustomRichDoc::SetStyle(TRDStyle* value)
{
    if (value != FStyle) {
        if (FStyle != nullptr && FStyleNotification >= 0)
            FStyle->RemoveFreeNotification(FStyleNotification);
        FStyleNotification = -1;
        FStyle = value;
        if (FStyle != nullptr)
            FStyleNotification = FStyle->AddFreeNotification([this] {
                // The sheet is going: its removal is the setter's with nil (the
                // notification is already off the sheet's list).
                FStyleNotification = -1;
                SetStyle(nullptr);
            });
        // The layout measured with the old sheet's fonts is of no use now.
        if (FDocumentData)
            FDocumentData->ClearFormatting();
    }
    if (Options & rdoFormatInvalidate)
        viewport()->update();
}

void TCustomRichDoc::SetVAlign(TTextLayout value)
{
    if (value == FVAlign)
        return;
    FVAlign = value;
    viewport()->update();
}

void TCustomRichDoc::SetBiDiMode(TRDBiDiMode value)
{
    if (value == BiDiMode())
        return;
    TRDScroller::SetBiDiMode(value);
    if (FDocumentData && !(FDocumentData->State & dsFormatting)) {
        FDocumentData->Deselect();
        FormatDocument();
    }
}

void TCustomRichDoc::SetVSmallStep(int step)
{
    if (step <= 0)
        return;
    const int height = FDocumentData ? FDocumentData->DocumentHeight : 0;
    if (VScrollVisible() && height / step > MaxStepsInDocument)
        return;
    VSmallStep = step;
}

void TCustomRichDoc::UpdatePalette()
{
    TRDScroller::UpdatePalette();
    if (!FDocumentData || !FBackground)
        return;
    FDocumentData->UpdateItemsPalette();
    FBackground->UpdatePalette(DoInPaletteMode());
    viewport()->update();
}

TRDTabNavigationType TCustomRichDoc::TabNavigation() const { return FDocumentData->TabNavigation; }
void TCustomRichDoc::SetTabNavigation(TRDTabNavigationType value) { FDocumentData->TabNavigation = value; }
TBackgroundStyle TCustomRichDoc::BackgroundStyle() const { return FBackground->Style; }

void TCustomRichDoc::SetBackgroundStyle(TBackgroundStyle value)
{
    FBackground->Style = value;
    BackgroundChanged();
}

TGraphic* TCustomRichDoc::BackgroundBitmap() const { return FBackground->GetImage(); }

void TCustomRichDoc::SetBackgroundBitmap(const TGraphic* graphic)
{
    FBackground->AssignImage(graphic);
    BackgroundChanged();
}

void TCustomRichDoc::BackgroundChanged()
{
    if (FDocumentData->State & dsDrawingBackground)
        return;
    FullRedraw = FBackground->NeedsFullRedraw();
    FBackground->UpdatePalette(DoInPaletteMode());
    if (Options & rdoFormatInvalidate)
        viewport()->update();
    if (FDocumentData)
        FDocumentData->ResetAnimations();
}

TColor TCustomRichDoc::GetEffectiveColor() const
{
    if (FColor != clNone)
        return FColor;
    if (FStyle != nullptr)
        return FStyle->Color;
    return clWindow;
}

TRDDocParameters* TCustomRichDoc::GetDocParameters()
{
    if (!FDocParameters)
        FDocParameters = std::make_unique<TRDDocParameters>();
    return FDocParameters.get();
}

// ---- the document operations ----

void TCustomRichDoc::ClearFormatting()
{
    StopAutoScrollTimer();
    FDocumentData->ClearFormatting();
}

void TCustomRichDoc::ClearDocument()
{
    ClearFormatting();
    FDocumentData->Clear();
}

void TCustomRichDoc::AddTextInNewParagraph(const QByteArray& text, int styleNo, int paraNo)
{
    TRDLiveSpellingPause pause(*this);
    FDocumentData->AddTextRawNoTag(text, styleNo, paraNo);
}

void TCustomRichDoc::AddTextToParagraph(const QByteArray& text, int styleNo)
{
    TRDLiveSpellingPause pause(*this);
    FDocumentData->AddTextRawNoTag(text, styleNo, -1);
}

bool TCustomRichDoc::AddMultilineText(const QByteArray& text, int styleNo, int paraNo, const TRDTag& tag)
{
    TRDLiveSpellingPause pause(*this);
    return FDocumentData->AddMultilineText(text, styleNo, paraNo, paraNo, tag);
}

QByteArray TCustomRichDoc::EncodeForStyle(const QString& text, int styleNo, int paraNo) const
{
    const TRichDocRDData& data = *FDocumentData;
    if (paraNo == -1)
        paraNo = data.ItemCount() > 0 ? data.ParaOfItem(data.ItemCount() - 1) : 0;
    const int effective = data.ResolveStyleNo(styleNo < 0 ? RDMaxInt : styleNo, paraNo);
    if (FStyle != nullptr && FStyle->TextStyles().TextStyleAt(effective)->Unicode)
        return WideStringToRaw(text);
    return QStringToAnsi(data.CodePageOfStyle(effective), text);
}

void TCustomRichDoc::AddTextInNewParagraph(const QString& text, int styleNo, int paraNo)
{
    AddTextInNewParagraph(EncodeForStyle(text, styleNo, paraNo), styleNo, paraNo);
}

void TCustomRichDoc::AddTextToParagraph(const QString& text, int styleNo)
{
    AddTextToParagraph(EncodeForStyle(text, styleNo, -1), styleNo);
}

bool TCustomRichDoc::AddMultilineText(const QString& text, int styleNo, int paraNo, const TRDTag& tag)
{
    // The lines are split on the ANSI form; a Unicode style gets its items
    // converted back from it.
    return AddMultilineText(QStringToAnsi(FDocumentData->CodePageOfStyle(std::max(0, styleNo)), text), styleNo,
                            paraNo, tag);
}

void TCustomRichDoc::FormatDocument()
{
    if (VSmallStep == 0)
        return;
    FDocumentData->DoFormat(false, true, true, false, false, Canvas(), 0, false);
    if (Options & rdoFormatInvalidate)
        viewport()->update();
    if (FAnimationMode == TRDAnimationMode::rdaniOnFormat)
        StartAnimation();
}

void TCustomRichDoc::Reformat()
{
    if (VSmallStep == 0)
        return;
    FDocumentData->DoFormat(true, true, true, true, false, Canvas(), 0, false);
    if (Options & rdoFormatInvalidate)
        viewport()->update();
}

void TCustomRichDoc::DeleteItemRange(int firstItemNo, int count)
{
    FDocumentData->Deselect();
    const int items = FDocumentData->ItemCount();
    if (firstItemNo < 0 || firstItemNo >= items || count <= 0)
        return;
    count = std::min(count, items - firstItemNo);
    // The thread must not read the list while it shrinks; it goes on from the first item removed.
    TRDLiveSpellingPause pause(*this, firstItemNo);
    // The draw items name the items being removed: the layout goes with them,
    // so that a paint before the next FormatDocument finds nothing stale.
    FDocumentData->ClearFormatting();
    FDocumentData->DeleteItemRange(firstItemNo, count);
}

int TCustomRichDoc::GetItemCount() const { return FDocumentData->ItemCount(); }
QByteArray TCustomRichDoc::GetItemText(int itemNo) const { return FDocumentData->TextOfItem(itemNo); }

QString TCustomRichDoc::GetItemTextW(int itemNo) const
{
    const TRichDocRDData& data = *FDocumentData;
    const QByteArray& text = data.TextOfItem(itemNo);
    if (IsUnicodeItem(data.ItemOptionsOf(itemNo)))
        return RawToWideString(text);
    return AnsiToQString(data.CodePageOfStyle(data.EffectiveStyleOfItem(itemNo)), text);
}

int TCustomRichDoc::GetItemStyle(int itemNo) const { return FDocumentData->EffectiveStyleOfItem(itemNo); }
TCustomRDItemInfo* TCustomRichDoc::GetItem(int itemNo) const { return FDocumentData->ItemAt(itemNo); }
bool TCustomRichDoc::IsNewLine(int itemNo) const { return FDocumentData->StartsNewLine(itemNo); }
int TCustomRichDoc::GetOffsetBeforeItem(int itemNo) const { return FDocumentData->StartOffsetOf(itemNo); }
int TCustomRichDoc::GetOffsetAfterItem(int itemNo) const { return FDocumentData->EndOffsetOf(itemNo); }
int TCustomRichDoc::GetDocumentHeight() const { return FDocumentData->DocumentHeight; }
int TCustomRichDoc::GetFirstJumpNo() const { return FDocumentData->FirstJumpNo; }
void TCustomRichDoc::SetFirstJumpNo(int value) { FDocumentData->FirstJumpNo = value; }

bool TCustomRichDoc::GetItemExtraIntProperty(int itemNo, int propertyId, int& value) const
{
    return FDocumentData->GetItemExtraIntProperty(itemNo, propertyId, value);
}

bool TCustomRichDoc::GetItemExtraStrProperty(int itemNo, int propertyId, QString& value) const
{
    return FDocumentData->GetItemExtraStrProperty(itemNo, propertyId, value);
}

bool TCustomRichDoc::SaveRDFToStream(TRDStream& stream, bool selectionOnly)
{
    TRDLayoutInfo layout;
    layout.LeftMargin = LeftMargin;
    layout.RightMargin = RightMargin;
    layout.TopMargin = TopMargin;
    layout.BottomMargin = BottomMargin;
    layout.MinTextWidth = MinTextWidth;
    layout.MaxTextWidth = MaxTextWidth;
    layout.BiDiMode = BiDiMode();
    return FDocumentData->SaveRDFToStream(stream, selectionOnly, &layout, FBackground.get(), FColor);
}

bool TCustomRichDoc::SaveTextToStream(const QString& path, TRDStream& stream, int lineWidth, bool selectionOnly,
                                      bool textOnly)
{
    return FDocumentData->SaveTextToStream(path, stream, lineWidth, selectionOnly, textOnly, false, false);
}

bool TCustomRichDoc::SaveTextToStreamW(const QString& path, TRDStream& stream, int lineWidth, bool selectionOnly,
                                       bool textOnly)
{
    return FDocumentData->SaveTextToStream(path, stream, lineWidth, selectionOnly, textOnly, true, false);
}

void TCustomRichDoc::ApplyLayout(const TRDLayoutInfo& layout)
{
    LeftMargin = layout.LeftMargin;
    RightMargin = layout.RightMargin;
    TopMargin = layout.TopMargin;
    BottomMargin = layout.BottomMargin;
    MinTextWidth = layout.MinTextWidth;
    MaxTextWidth = layout.MaxTextWidth;
    const uint32_t was = FDocumentData->State & dsFormatting;
    FDocumentData->State |= dsFormatting;
    struct TRestore {
        uint32_t& State;
        uint32_t Was;
        ~TRestore() { State = (State & ~dsFormatting) | Was; }
    } restore{FDocumentData->State, was};
    SetBiDiMode(layout.BiDiMode);
}

void TCustomRichDoc::AssignEvents(const TCustomRichDoc& source)
{
    OnSaveComponentToFile = source.OnSaveComponentToFile;
    OnSaveItemToFile = source.OnSaveItemToFile;
    ParaHtmlHook = source.ParaHtmlHook;
    OnURLNeeded = source.OnURLNeeded;
    OnSelect = source.OnSelect;
    OnImportPicture = source.OnImportPicture;
    OnRDRightClick = source.OnRDRightClick;
    OnRDFPictureNeeded = source.OnRDFPictureNeeded;
    OnRDFImageListNeeded = source.OnRDFImageListNeeded;
    OnRDFControlNeeded = source.OnRDFControlNeeded;
    OnRDDblClick = source.OnRDDblClick;
    OnJump = source.OnJump;
    OnRDMouseMove = source.OnRDMouseMove;
    OnCopy = source.OnCopy;
    OnRDMouseDown = source.OnRDMouseDown;
    OnRDMouseUp = source.OnRDMouseUp;
    OnControlAction = source.OnControlAction;
    OnItemAction = source.OnItemAction;
    OnClick = source.OnClick;
    OnDblClick = source.OnDblClick;
    OnHTMLSaveImage = source.OnHTMLSaveImage;
    OnSaveImage2 = source.OnSaveImage2;
    OnItemHint = source.OnItemHint;
    OnReadHyperlink = source.OnReadHyperlink;
}

void TCustomRichDoc::SelectAllItems()
{
    if (FDocumentData->ItemCount() == 0)
        return;
    FDocumentData->SelectAll();  // tells the selection itself
}

void TCustomRichDoc::Deselect()
{
    FDocumentData->Deselect();
    viewport()->update();
}

bool TCustomRichDoc::HasSelection()
{
    TRichDocRDData& data = *FDocumentData;
    if (data.DataSelectionExists())
        return true;
    // An empty selection is none: it goes, unless the mouse is still making it.
    if (data.GetSelStartNo() >= 0 && !(data.State & dsMouseSelecting)) {
        data.Deselect(nullptr, true);
    }
    return false;
}

void TCustomRichDoc::GetSelectionBounds(int& startItemNo, int& startItemOffs, int& endItemNo, int& endItemOffs,
                                        bool normalize) const
{
    FDocumentData->GetSelectionBounds(startItemNo, startItemOffs, endItemNo, endItemOffs, normalize);
}

void TCustomRichDoc::SetSelectionBounds(int startItemNo, int startItemOffs, int endItemNo, int endItemOffs)
{
    FDocumentData->SetSelectionBounds(startItemNo, startItemOffs, endItemNo, endItemOffs);  // tells it itself
}

void TCustomRichDoc::ClearSoftPageBreaks()
{
    if (FDocumentData->ClearSoftPageBreaks())
        viewport()->update();
}

void TCustomRichDoc::InvalidateNested()
{
    viewport()->update();
}

void TCustomRichDoc::RefreshNested(bool repaint)
{
    if (repaint)
        viewport()->repaint();
}

// ---- window ----

void TCustomRichDoc::CreateWnd()
{
    // A document keeps its scroll position over a new window; an empty one starts at the top.
    const bool keep = FDocumentData && FDocumentData->ItemCount() > 0;
    const int y = VPos * VSmallStep, x = HPos;
    TRDScroller::CreateWnd();
    if (!keep)
        return;
    // The document is laid out for the window it has now, from where it stood.
    if (VSmallStep > 0)
        VPos = y / VSmallStep;
    HPos = x;
    FDocumentData->DoFormat(true, false, false, false, false, Canvas(), 0, false);
}

void TCustomRichDoc::DoVScrolled()
{
    TRDScroller::DoVScrolled();
    FDocumentData->UpdateCheckpointVisibility();
    RefreshNested(false);
}

void TCustomRichDoc::DoHScrolled()
{
    TRDScroller::DoHScrolled();
    RefreshNested(false);
}

void TCustomRichDoc::resizeEvent(QResizeEvent* e)
{
    TRDScroller::resizeEvent(e);
    if (!FInitialized || !HandleAllocated())
        return;
    ViewerGuarded("resize", [this] {
        FDocumentData->DoFormat(true, false, false, false, false, Canvas(), 0, false);
    });
}

QString TCustomRichDoc::NoStyleMessage() const
{
    return QStringLiteral("Style is not defined\rCreate a TRDStyle object and assign it to %1.Style")
        .arg(objectName());
}

void TCustomRichDoc::PaintNoStyle(TCanvas& canvas, const QRect& clip)
{
    QPainter& painter = canvas.Painter();
    painter.fillRect(clip, ToQColor(GetEffectiveColor()));
    TFont font;
    font.Name = QStringLiteral("MS Sans Serif");
    font.Size = 8;
    font.Color = clWindowText;
    painter.save();
    painter.setFont(font.ToQFont());
    painter.setPen(ToQColor(clWindowText));
    QString text = NoStyleMessage();
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    painter.drawText(viewport()->rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    painter.restore();
}

void TCustomRichDoc::paintEvent(QPaintEvent* e)
{
    ViewerGuarded("paint", [this, e] {
        QPainter painter(viewport());
        TCanvas canvas(painter);
        const QRect clip = e->rect();
        if (FStyle == nullptr) {
            PaintNoStyle(canvas, clip);
            return;
        }
        FDocumentData->SetSelectColor(FSelectColor);
        FDocumentData->SetHasSelectColor(FHasSelectColor);
        FDocumentData->SetCursorPos(FCursorPos);
        FDocumentData->PaintBuffered(canvas, clip);
        if (OnPaint)
            OnPaint(this, canvas, false);
    });
}
