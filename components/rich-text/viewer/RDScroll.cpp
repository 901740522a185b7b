#include "viewer/RDScroll.h"

#include <algorithm>
#include <cmath>

#include <QtGui/QCursor>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionFrame>

#include "layout/CRDFData.h"
#include "document/RDItem.h"

namespace {

constexpr int NotchDelta = 120;

} // namespace

void TRDWidgetHost::InvalidateRect(const QRect& rect) { Control->update(rect); }
void TRDWidgetHost::Invalidate() { Control->update(); }
void TRDWidgetHost::Repaint() { Control->repaint(); }
void TRDWidgetHost::Update() { QCoreApplication::sendPostedEvents(Control->window(), QEvent::UpdateRequest); }
bool TRDWidgetHost::UpdatesEnabled() const { return Control->updatesEnabled(); }
void TRDWidgetHost::SetUpdatesEnabled(bool value) { Control->setUpdatesEnabled(value); }

bool TRDWidgetHost::HasChildControls() const
{
    return !Control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty();
}

void TRDWidgetHost::InsertControl(QWidget& control) { control.setParent(Control); }

bool TRDWidgetHost::ChildHostOrigin(const TRDHost& child, QPoint& origin) const
{
    const auto* other = dynamic_cast<const TRDWidgetHost*>(&child);
    QWidget* its = other ? other->Control : nullptr;
    if (!its || its == Control || its->parentWidget() != Control)
        return false;
    origin = its->pos();
    return true;
}

QPoint TRDWidgetHost::ClientToScreen(const QPoint& point) const { return Control->mapToGlobal(point); }
QPoint TRDWidgetHost::ScreenToClient(const QPoint& screen) const { return Control->mapFromGlobal(screen); }
void TRDWidgetHost::SetCursor(const QCursor& cursor) { Control->setCursor(cursor); }

bool TRDWidgetHost::Focused() const
{
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && (focus == Control || Control->isAncestorOf(focus));
}

TRDScroller::TRDScroller(QWidget* parent) : QAbstractScrollArea(parent), FViewportHost(viewport())
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameStyle(QFrame::NoFrame);
    // Only the vertical bar changes side with the text direction.
    viewport()->setLayoutDirection(Qt::LeftToRight);
    horizontalScrollBar()->setLayoutDirection(Qt::LeftToRight);
    for (QScrollBar* bar : {verticalScrollBar(), horizontalScrollBar()}) {
        const bool vertical = bar == verticalScrollBar();
        bar->setRange(0, 0);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, vertical](int action) { BarAction(vertical, action); });
        connect(bar, &QAbstractSlider::valueChanged, this, [this, vertical](int value) { BarValueChanged(vertical, value); });
    }
}

TRDScroller::~TRDScroller()
{
    FDestroying = true;
    PaletteHandle = nullptr;
    LogPalette.reset();
}

int TRDScroller::ClientWidth() const
{
    return viewport()->width();
}

int TRDScroller::ClientHeight() const
{
    return viewport()->height();
}

void TRDScroller::HandleNeeded()
{
    if (!FWindowCreated)
        CreateWnd();
}

void TRDScroller::CreateWnd()
{
    FWindowCreated = true;
    KeepVScrollBar = false;
    ApplyBorder();
    ApplyBarSide();
    VSmallStep = DefaultVSmallStep();
    ResetScrollPositions();
    CreateThemeHandle();
    ApplyBorder();
    UpdateScrollBarsForClient();
}

void TRDScroller::RecreateWnd()
{
    if (!FWindowCreated) {
        ApplyBorder();
        ApplyBarSide();
        return;
    }
    FreeThemeHandle();
    CreateWnd();
    update();
}

void TRDScroller::showEvent(QShowEvent* e)
{
    HandleNeeded();
    QAbstractScrollArea::showEvent(e);
}

void TRDScroller::CreateThemeHandle()
{
    FThemeOpen = FUseXPThemes && style() != nullptr;
}

void TRDScroller::FreeThemeHandle()
{
    FThemeOpen = false;
}

void TRDScroller::ApplyBorder()
{
    if (FBorderStyle == TBorderStyle::bsNone)
        setFrameStyle(QFrame::NoFrame);
    else if (FThemeOpen)
        // The frame's width comes from the style; its painting is the line edit's.
        setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    else {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(2);
    }
}

void TRDScroller::ApplyBarSide()
{
    setLayoutDirection(FBiDiMode == TRDBiDiMode::rdbdRightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
}

void TRDScroller::SetBorderStyle(TBorderStyle value)
{
    if (value == FBorderStyle)
        return;
    FBorderStyle = value;
    RecreateWnd();
}

void TRDScroller::SetBiDiMode(TRDBiDiMode value)
{
    if (value == FBiDiMode)
        return;
    FBiDiMode = value;
    RecreateWnd();
}

void TRDScroller::SetDoInPaletteMode(TRDPaletteAction value)
{
    if (value == FDoInPaletteMode)
        return;
    FDoInPaletteMode = value;
    UpdatePalette();
}

void TRDScroller::SetUseXPThemes(bool value)
{
    if (value == FUseXPThemes)
        return;
    FUseXPThemes = value;
    if (!FWindowCreated)
        return;
    FreeThemeHandle();
    CreateThemeHandle();
    ApplyBorder();
    update();
}

void TRDScroller::SetTracking(bool value)
{
    FTracking = value;
    verticalScrollBar()->setTracking(value);
    horizontalScrollBar()->setTracking(value);
}

void TRDScroller::SetHScrollVisible(bool value)
{
    FHScrollVisible = value;
    UpdateScrollBars(DocWidth, DocHeight, true, true);
}

void TRDScroller::SetVScrollVisible(bool value)
{
    const bool switchedOn = value && !FVScrollVisible;
    FVScrollVisible = value;
    if (!FWindowCreated)
        return;
    UpdateScrollBars(DocWidth, DocHeight, false, true);
    if (switchedOn && KeepVScrollBar) {
        UpdateScrollBars(DocWidth, DocHeight, true, true);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
}

void TRDScroller::ResetScrollPositions()
{
    VPos = 0;
    HPos = 0;
}

void TRDScroller::UpdateScrollBarsForClient()
{
    UpdateScrollBars(ClientWidth(), ClientHeight() / VSmallStep, true, true);
}

void TRDScroller::HideBar(Qt::Orientation orientation)
{
    QScrollBar* bar = orientation == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    FInBarSync = true;
    bar->setRange(0, 0);
    FInBarSync = false;
    if (orientation == Qt::Vertical) {
        if (verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
            setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    } else if (horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff)
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TRDScroller::UpdateScrollBars(int docWidth, int docHeightInSteps, bool keepBar, bool setHorizontal)
{
    if (InScrollBarUpdate || !FWindowCreated)
        return;
    InScrollBarUpdate = true;
    struct TClear {
        bool& Flag;
        ~TClear() { Flag = false; }
    } clear{InScrollBarUpdate};

    if (setHorizontal) {
        DocWidth = docWidth;
        HPage = ClientWidth();
        HMax = DocWidth - 1;
        if (FHScrollVisible) {
            HPos = std::max(0, std::min(HPos, HMax - ClientWidth() + 1));
            QScrollBar* bar = horizontalScrollBar();
            FInBarSync = true;
            bar->setRange(0, std::max(0, HMax - HPage + 1));
            bar->setPageStep(std::max(1, HPage));
            bar->setSingleStep(std::max(1, VSmallStep * LineStep));
            bar->setValue(HPos);
            FInBarSync = false;
            if (horizontalScrollBarPolicy() != Qt::ScrollBarAsNeeded)
                setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        } else
            HideBar(Qt::Horizontal);
    }

    DocHeight = docHeightInSteps;
    VPage = ClientHeight() / VSmallStep;
    VMax = DocHeight - 1;
    VPos = std::max(0, std::min(VPos, DocHeight - VPage));

    if (FVScrollVisible) {
        QScrollBar* bar = verticalScrollBar();
        const int top = std::max(0, VMax - VPage + 1);
        FInBarSync = true;
        bar->setRange(0, top);
        bar->setPageStep(std::max(1, VPage));
        bar->setSingleStep(std::max(1, LineStep));
        bar->setValue(VPos);
        FInBarSync = false;
        // A kept bar stays in place, disabled while there is nothing to scroll.
        const Qt::ScrollBarPolicy policy =
            keepBar && KeepVScrollBar ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded;
        if (verticalScrollBarPolicy() != policy)
            setVerticalScrollBarPolicy(policy);
        bar->setEnabled(top > 0);
    } else
        HideBar(Qt::Vertical);

    if (OnResize)
        OnResize(this);
}

void TRDScroller::SetVPos(int pos, bool redraw)
{
    if (!FWindowCreated)
        return;
    const int old = VPos;
    VPos = std::max(0, std::min(pos, VMax - VPage + 1));
    if (FVScrollVisible) {
        FInBarSync = true;
        verticalScrollBar()->setValue(VPos);
        FInBarSync = false;
    }
    if (VPos == old)
        return;
    BeforeScroll();
    const int dy = (old - VPos) * VSmallStep;
    if (!redraw) {
        MoveControls(0, dy);
        DoVScrolled();
        return;
    }
    QWidget* view = viewport();
    if (FullRedraw) {
        MoveControls(0, dy);
        view->repaint();
    } else {
        const QRect client = view->rect();
        // A move of a whole window or more uncovers all of it: nothing to keep.
        if (std::abs(dy) < client.height())
            view->scroll(0, dy, client);
        MoveControls(0, dy);
        if (std::abs(dy) >= client.height())
            view->repaint();
        else if (dy > 0)
            view->repaint(QRect(0, 0, client.width(), dy));
        else
            view->repaint(QRect(0, client.height() + dy, client.width(), -dy));
    }
    DoVScrolled();
}

void TRDScroller::SetHPos(int pos)
{
    if (!FWindowCreated)
        return;
    const int old = HPos;
    HPos = std::max(0, std::min(pos, HMax - HPage + 1));
    if (FHScrollVisible) {
        FInBarSync = true;
        horizontalScrollBar()->setValue(HPos);
        FInBarSync = false;
    }
    if (HPos == old)
        return;
    BeforeScroll();
    const int dx = old - HPos;
    QWidget* view = viewport();
    if (FullRedraw) {
        MoveControls(dx, 0);
        view->repaint();
    } else {
        const QRect client = view->rect();
        if (std::abs(dx) < client.width())
            view->scroll(dx, 0, client);
        MoveControls(dx, 0);
        if (std::abs(dx) >= client.width())
            view->repaint();
        else if (dx > 0)
            view->repaint(QRect(0, 0, dx, client.height()));
        else
            view->repaint(QRect(client.width() + dx, 0, -dx, client.height()));
    }
    DoHScrolled();
}

void TRDScroller::DoVScrolled()
{
    if (OnVScrolled)
        OnVScrolled(this);
}

void TRDScroller::DoHScrolled()
{
    if (OnHScrolled)
        OnHScrolled(this);
}

void TRDScroller::MoveControls(int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    for (QObject* child : viewport()->children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control == nullptr || control->isWindow())
            continue;
        if (dy != 0) {
            SetControlTag(control, ControlTag(control) + dy);
            SetControlTopFromTag(control);
        }
        if (dx != 0)
            control->move(control->x() + dx, control->y());
    }
}

void TRDScroller::AdjustVScrollUnits(int documentHeight)
{
    const int step = VSmallStep;
    if (FVScrollVisible && documentHeight / step > MaxStepsInDocument) {
        int k = documentHeight / MaxStepsInDocument;
        if (documentHeight / k > MaxStepsInDocument)
            ++k;
        SetVSmallStep(k);
    } else if (step > 10 && documentHeight / 10 <= MaxStepsInDocument)
        SetVSmallStep(10);
}

void TRDScroller::VScroll(TRDScrollCode code, int pos)
{
    switch (code) {
    case TRDScrollCode::SB_LINEUP: ScrollTo(VPos - LineStep); break;
    case TRDScrollCode::SB_LINEDOWN: ScrollTo(VPos + LineStep); break;
    case TRDScrollCode::SB_PAGEUP: ScrollTo(VPos - ClientHeight() / VSmallStep); break;
    case TRDScrollCode::SB_PAGEDOWN: ScrollTo(VPos + ClientHeight() / VSmallStep); break;
    case TRDScrollCode::SB_THUMBTRACK:
        if (FTracking)
            ScrollTo(pos);
        break;
    case TRDScrollCode::SB_THUMBPOSITION: ScrollTo(pos); break;
    case TRDScrollCode::SB_TOP: ScrollTo(0); break;
    case TRDScrollCode::SB_BOTTOM: ScrollTo(DocHeight); break;
    default: break;
    }
}

void TRDScroller::HScroll(TRDScrollCode code, int pos)
{
    switch (code) {
    case TRDScrollCode::SB_LINEUP: SetHPos(HPos - VSmallStep * LineStep); break;
    case TRDScrollCode::SB_LINEDOWN: SetHPos(HPos + VSmallStep * LineStep); break;
    case TRDScrollCode::SB_PAGEUP: SetHPos(HPos - ClientWidth()); break;
    case TRDScrollCode::SB_PAGEDOWN: SetHPos(HPos + ClientWidth()); break;
    case TRDScrollCode::SB_THUMBTRACK:
        if (FTracking)
            SetHPos(pos);
        break;
    case TRDScrollCode::SB_THUMBPOSITION: SetHPos(pos); break;
    case TRDScrollCode::SB_TOP: SetHPos(0); break;
    case TRDScrollCode::SB_BOTTOM: SetHPos(DocWidth); break;
    default: break;
    }
}

void TRDScroller::BarAction(bool vertical, int action)
{
    QScrollBar* bar = vertical ? verticalScrollBar() : horizontalScrollBar();
    TRDScrollCode code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = TRDScrollCode::SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = TRDScrollCode::SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = TRDScrollCode::SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = TRDScrollCode::SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = TRDScrollCode::SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = TRDScrollCode::SB_BOTTOM; break;
    case QAbstractSlider::SliderMove:
        code = bar->isSliderDown() ? TRDScrollCode::SB_THUMBTRACK : TRDScrollCode::SB_THUMBPOSITION;
        break;
    default: return;
    }
    const int pos = bar->sliderPosition();
    if (vertical)
        VScroll(code, pos);
    else
        HScroll(code, pos);
    // The bar shows where the view is (a dragged thumb stays under the mouse).
    if (code != TRDScrollCode::SB_THUMBTRACK) {
        FInBarSync = true;
        bar->setSliderPosition(vertical ? VPos : HPos);
        FInBarSync = false;
    }
}

void TRDScroller::BarValueChanged(bool vertical, int value)
{
    if (FInBarSync)
        return;
    if (vertical && value != VPos)
        VScroll(TRDScrollCode::SB_THUMBPOSITION, value);
    else if (!vertical && value != HPos)
        HScroll(TRDScrollCode::SB_THUMBPOSITION, value);
}

void TRDScroller::keyPressEvent(QKeyEvent* e)
{
    if (!KeyboardScroll) {
        e->ignore();
        return;
    }
    switch (e->key()) {
    case Qt::Key_PageUp: VScroll(TRDScrollCode::SB_PAGEUP); break;
    case Qt::Key_PageDown: VScroll(TRDScrollCode::SB_PAGEDOWN); break;
    case Qt::Key_End: VScroll(TRDScrollCode::SB_BOTTOM); break;
    case Qt::Key_Home: VScroll(TRDScrollCode::SB_TOP); break;
    case Qt::Key_Up: VScroll(TRDScrollCode::SB_LINEUP); break;
    case Qt::Key_Down: VScroll(TRDScrollCode::SB_LINEDOWN); break;
    case Qt::Key_Left: HScroll(TRDScrollCode::SB_LINEUP); break;
    case Qt::Key_Right: HScroll(TRDScrollCode::SB_LINEDOWN); break;
    default: e->ignore(); return;
    }
    e->accept();
}

bool TRDScroller::WheelNotch(bool down)
{
    if (WheelStep == 0)
        return false;
    const int lines = QApplication::wheelScrollLines();
    int steps;
    if (lines < 0)
        steps = ClientHeight() / VSmallStep;
    else
        // A third never ends in a half: plain rounding is the nearest step.
        steps = int(std::lround(double(WheelStep) * lines / 3.0));
    ScrollTo(down ? VPos + steps : VPos - steps);
    return true;
}

bool TRDScroller::DoMouseWheelDown()
{
    return WheelNotch(true);
}

bool TRDScroller::DoMouseWheelUp()
{
    return WheelNotch(false);
}

void TRDScroller::wheelEvent(QWheelEvent* e)
{
    const int delta = e->angleDelta().y();
    if (WheelStep == 0 || delta == 0) {
        e->ignore();
        return;
    }
    // Fine-grained wheels report parts of a notch: they add up to whole ones.
    FWheelRemainder += delta;
    while (FWheelRemainder >= NotchDelta) {
        FWheelRemainder -= NotchDelta;
        DoMouseWheelUp();
    }
    while (FWheelRemainder <= -NotchDelta) {
        FWheelRemainder += NotchDelta;
        DoMouseWheelDown();
    }
    e->accept();
}

std::unique_ptr<TRDLogPalette> TRDScroller::CreateLogPalette()
{
    auto palette = std::make_unique<TRDLogPalette>();
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j)
            for (int k = 0; k < 6; ++k) {
                TRDPaletteEntry& entry = palette->palPalEntry[size_t(36 * i + 6 * j + k)];
                entry.peRed = uint8_t(51 * k);
                entry.peGreen = uint8_t(51 * j);
                entry.peBlue = uint8_t(51 * i);
                entry.peFlags = 0;
            }
    return palette;
}

void TRDScroller::UpdatePalette()
{
    // Every display here shows true colour: a palette is never made.
    PaletteHandle = nullptr;
    LogPalette.reset();
}

void TRDScroller::SetChosenData(TCustomRDFormattedData* data, TCustomRDItemInfo* item)
{
    if (data != ChosenData) {
        DestroyInplaceEditor();
        UnchooseData(ChosenData);
        ChosenData = data;
        ChosenItem = item;
    }
    if (TRDScroller* editor = GetInplaceEditor())
        SetControlTag(editor, editor->y());
}

void TRDScroller::SetChosenDataOnly(TCustomRDFormattedData* data)
{
    ChosenData = data;
    if (data == nullptr)
        ChosenItem = nullptr;
}

void TRDScroller::UnchooseData(TCustomRDFormattedData* data)
{
    if (data == nullptr || ChosenData == nullptr)
        return;
    if (data != ChosenData && static_cast<TCustomRDData*>(data) != ChosenData->GetActiveData())
        return;
    if (!FDestroying)
        data->Deselect();
    ChosenData = nullptr;
    if (ChosenItem != nullptr)
        ChosenItem->LeaveChosenSubDocument();
    ChosenItem = nullptr;
}

bool TRDScroller::HasFocusWithin()
{
    for (TRDScroller* control = this; control != nullptr; control = control->GetInplaceEditor())
        if (control->hasFocus() || control->viewport()->hasFocus())
            return true;
    return false;
}

void TRDScroller::focusInEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusInEvent(e);
    for (QWidget* w = this; w != nullptr; w = w->parentWidget())
        if (auto* scroller = dynamic_cast<TRDScroller*>(w); scroller != nullptr && scroller->FDestroying)
            return;
    if (TRDScroller* editor = GetInplaceEditor())
        editor->setFocus();
}

void TRDScroller::PaintFrame()
{
    QPainter painter(this);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.rect = rect();
    option.lineWidth = frameWidth();
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_FrameLineEdit, &option, &painter, this);
    // The corner between two shown bars.
    const QWidget* vertical = verticalScrollBar()->parentWidget();
    const QWidget* horizontal = horizontalScrollBar()->parentWidget();
    if (vertical != nullptr && horizontal != nullptr && vertical->isVisible() && horizontal->isVisible()) {
        QStyleOption corner;
        corner.initFrom(this);
        corner.rect = QRect(vertical->x(), horizontal->y(), vertical->width(), horizontal->height());
        style()->drawPrimitive(QStyle::PE_PanelScrollAreaCorner, &corner, &painter, this);
    }
}

bool TRDScroller::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::Paint:
        if (FThemeOpen && FBorderStyle == TBorderStyle::bsSingle) {
            PaintFrame();
            return true;
        }
        break;
    case QEvent::StyleChange:
        // A new look: the border is opened again for it.
        if (FWindowCreated) {
            FreeThemeHandle();
            CreateThemeHandle();
            ApplyBorder();
            update();
        }
        break;
    default: break;
    }
    return QAbstractScrollArea::event(e);
}
