#include "TextEditMarks.h"

#include "Graphics.h"

#include <QtGui/QPainter>

// ---------------------------------------------------------------- mark

void TTextEditMark::SetMarkLine(int value)
{
    if (FShown && OnChange && value != FLine) {
        if (FLine > 0)
            Changed();
        FLine = value;
        if (FLine > 0)
            Changed();
        return;
    }
    FLine = value;
}

void TTextEditMark::SetPictureIndex(int value)
{
    FPictureIndex = value;
    if (FShown)
        Changed();
}

void TTextEditMark::SetBuiltInPicture(bool value)
{
    FBuiltInPicture = value;
    if (FShown)
        Changed();
}

void TTextEditMark::SetShown(bool value)
{
    if (FShown == value)
        return;
    FShown = value;
    Changed();
}

// ---------------------------------------------------------------- mark list

int TTextEditMarkList::Add(std::unique_ptr<TTextEditMark> mark)
{
    FMarks.push_back(std::move(mark));
    Changed();
    return Count() - 1;
}

void TTextEditMarkList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw ETextEditError(QStringLiteral("List index out of bounds (%1)").arg(index));
    FMarks.erase(FMarks.begin() + index);
}

int TTextEditMarkList::Remove(TTextEditMark* mark)
{
    for (int i = 0; i < Count(); ++i)
        if (FMarks[static_cast<size_t>(i)].get() == mark) {
            FMarks.erase(FMarks.begin() + i);
            Changed();
            return i;
        }
    throw ETextEditError(QStringLiteral("List index out of bounds (-1)"));
}

void TTextEditMarkList::RemoveAllMarks()
{
    FMarks.clear();
    Changed();
}

TTextEditMark* TTextEditMarkList::Items(int index) const
{
    return index >= 0 && index < Count() ? FMarks[static_cast<size_t>(index)].get() : nullptr;
}

void TTextEditMarkList::MarksOfLine(int line, TMarksOfLine& marks) const
{
    marks.fill(nullptr);
    size_t found = 0;
    for (const auto& mark : FMarks) {
        if (mark->MarkLine() != line)
            continue;
        marks[found++] = mark.get();
        if (found == marks.size())
            break;
    }
}

// ---------------------------------------------------------------- shared picture strips

struct TTextInternalImage::TSharedStrip {
    QString Name;  // upper case
    QImage Bitmap;
    int UseCount = 0;
};

namespace {

// The loaded strips; made on first use and freed with the last strip.
std::vector<std::unique_ptr<TTextInternalImage::TSharedStrip>>*& SharedStrips()
{
    static std::vector<std::unique_ptr<TTextInternalImage::TSharedStrip>>* strips = nullptr;
    return strips;
}

}  // namespace

TTextInternalImage::TTextInternalImage(const QString& name, int count) : FCount(count)
{
    auto*& strips = SharedStrips();
    if (!strips)
        strips = new std::vector<std::unique_ptr<TSharedStrip>>;
    const QString key = name.toUpper();
    FStrip = nullptr;
    for (const auto& strip : *strips)
        if (strip->Name == key) {
            FStrip = strip.get();
            break;
        }
    if (!FStrip) {
        auto strip = std::make_unique<TSharedStrip>();
        strip->Name = key;
        try {
            strip->Bitmap = LoadBitmapResource(name);
        } catch (...) {
            if (strips->empty()) {
                delete strips;
                strips = nullptr;
            }
            throw;
        }
        FStrip = strip.get();
        strips->push_back(std::move(strip));
    }
    ++FStrip->UseCount;
    FWidth = count > 0 ? (FStrip->Bitmap.width() + count / 2) / count : 0;
    FHeight = FStrip->Bitmap.height();
}

TTextInternalImage::~TTextInternalImage()
{
    auto*& strips = SharedStrips();
    if (--FStrip->UseCount > 0)
        return;
    for (size_t i = 0; i < strips->size(); ++i)
        if ((*strips)[i].get() == FStrip) {
            strips->erase(strips->begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    if (strips->empty()) {
        delete strips;
        strips = nullptr;
    }
}

int TTextInternalImage::SharedStripCount()
{
    auto* strips = SharedStrips();
    return strips ? static_cast<int>(strips->size()) : 0;
}

int TTextInternalImage::UseCountOf(const QString& name)
{
    auto* strips = SharedStrips();
    if (!strips)
        return 0;
    for (const auto& strip : *strips)
        if (strip->Name == name.toUpper())
            return strip->UseCount;
    return 0;
}

void TTextInternalImage::Draw(TCanvas& canvas, int number, int x, int y, int lineHeight) const
{
    if (number < 0 || number >= FCount)
        return;
    QPainter& painter = canvas.Painter();
    const QRect picture(number * FWidth, 0, FWidth, FHeight);
    if (lineHeight < FHeight)
        painter.drawImage(QPoint(x, y), FStrip->Bitmap,
                          QRect(picture.left(), (FHeight - lineHeight) / 2, FWidth, lineHeight));
    else
        painter.drawImage(QPoint(x, y + (lineHeight - FHeight) / 2), FStrip->Bitmap, picture);
}

// ---------------------------------------------------------------- method chains

void TTextMethodChain::RaiseMissing(const char* where) const
{
    throw ETextMethodChain(QStringLiteral("%1.%2 the parameter `AEvent' must be specified.")
                               .arg(QLatin1String(ClassName()), QLatin1String(where)));
}

bool TTextMethodChain::HandlerFailed(const std::exception& e)
{
    if (!OnHandlerError)
        throw;
    bool doContinue = true;
    try {
        OnHandlerError(this, e, doContinue);
    } catch (...) {
        throw ETextMethodChain(
            QStringLiteral("%1.DoHandleException : MUST NOT occur any kind of exception in ExceptionHandler")
                .arg(QLatin1String(ClassName())));
    }
    return doContinue;
}

void TTextNotifyEventChain::Add(const THandler& handler)
{
    if (!handler.Assigned())
        RaiseMissing("Entry :");
    FHandlers.push_back(handler);
}

void TTextNotifyEventChain::Remove(const THandler& handler)
{
    if (!handler.Assigned())
        RaiseMissing("Remove:");
    for (size_t i = FHandlers.size(); i-- > 0;)
        if (FHandlers[i].Key == handler.Key)
            FHandlers.erase(FHandlers.begin() + static_cast<std::ptrdiff_t>(i));
}

void TTextNotifyEventChain::FireAll()
{
    // A copy: a handler may add or remove handlers while the chain fires.
    const std::vector<THandler> handlers = FHandlers;
    for (const THandler& handler : handlers) {
        try {
            handler.Call(FSender);
        } catch (const std::exception& e) {
            if (!HandlerFailed(e))
                break;
        }
    }
}
