#pragma once

// Marks beside lines in the gutter (the ten numbered bookmarks and any other
// mark), the shared strip of built-in bookmark pictures, and ordered chains
// of event handlers.

#include "TextEditLines.h"
#include "TextEditMethods.h"

#include <QtCore/QString>

#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

class TCanvas;

class TTextEditMark {
public:
    virtual ~TTextEditMark() = default;

    int MarkLine() const { return FLine; }
    virtual void SetMarkLine(int value);
    int MarkChar() const { return FChar; }
    virtual void SetMarkChar(int value) { FChar = value; }
    int PictureIndex() const { return FPictureIndex; }
    virtual void SetPictureIndex(int value);
    bool Shown() const { return FShown; }
    void SetShown(bool value);
    bool BuiltInPicture() const { return FBuiltInPicture; }
    void SetBuiltInPicture(bool value);
    int BookmarkSlot() const { return FBookmarkSlot; }
    void SetBookmarkSlot(int value) { FBookmarkSlot = value; }
    bool IsNumbered() const { return FBookmarkSlot >= 0; }

    // Fired for the line the mark leaves and for the line it comes to, and
    // when its picture or visibility changes while shown.
    std::function<void(TTextEditMark* sender)> OnChange;

private:
    void Changed()
    {
        if (OnChange)
            OnChange(this);
    }
    int FLine = 0;
    int FChar = 0;
    int FPictureIndex = 0;
    bool FShown = false;
    bool FBuiltInPicture = false;
    int FBookmarkSlot = -1;
};

class TTextEditMarkList {
public:
    static constexpr int MaxMarksPerLine = 17;
    using TMarksOfLine = std::array<TTextEditMark*, MaxMarksPerLine>;

    TTextEditMarkList() = default;
    TTextEditMarkList(const TTextEditMarkList&) = delete;
    TTextEditMarkList& operator=(const TTextEditMarkList&) = delete;

    // Takes ownership; fires OnChange; answers the index.
    int Add(std::unique_ptr<TTextEditMark> mark);
    // Frees the mark; no OnChange.
    void Delete(int index);
    // Frees the mark and fires OnChange; a mark not in the list raises.
    int Remove(TTextEditMark* mark);
    void RemoveAllMarks();
    int Count() const { return static_cast<int>(FMarks.size()); }
    TTextEditMark* Items(int index) const;
    void MarksOfLine(int line, TMarksOfLine& marks) const;

    std::function<void(TTextEditMarkList* sender)> OnChange;

private:
    void Changed()
    {
        if (OnChange)
            OnChange(this);
    }
    std::vector<std::unique_ptr<TTextEditMark>> FMarks;
};

// A strip of equally wide pictures from a named bitmap resource, shared by
// every user in the process and freed with its last user.
class TTextInternalImage {
public:
    TTextInternalImage(const QString& name, int count);
    ~TTextInternalImage();
    TTextInternalImage(const TTextInternalImage&) = delete;
    TTextInternalImage& operator=(const TTextInternalImage&) = delete;

    // Draws picture number (opaque), centred on a line of lineHeight pixels.
    void Draw(TCanvas& canvas, int number, int x, int y, int lineHeight) const;
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Count() const { return FCount; }

    // How many strips are loaded in the process (for tests).
    static int SharedStripCount();
    static int UseCountOf(const QString& name);

    struct TSharedStrip;

private:
    TSharedStrip* FStrip;
    int FWidth = 0;
    int FHeight = 0;
    int FCount = 0;
};

class ETextMethodChain : public ETextEditError {
    using ETextEditError::ETextEditError;
};

// An ordered list of handlers that are all called when the event fires.
class TTextMethodChain {
public:
    virtual ~TTextMethodChain() = default;
    virtual const char* ClassName() const { return "TTextMethodChain"; }
    // Fired when a handler raises: doContinue decides whether the next
    // handlers still run.
    std::function<void(TTextMethodChain* sender, const std::exception& e, bool& doContinue)> OnHandlerError;

protected:
    [[noreturn]] void RaiseMissing(const char* where) const;
    bool HandlerFailed(const std::exception& e);
};

class TTextNotifyEventChain : public TTextMethodChain {
public:
    using THandler = TTextMethod<void(void* sender)>;
    explicit TTextNotifyEventChain(void* sender) : FSender(sender) {}
    const char* ClassName() const override { return "TTextNotifyEventChain"; }
    void Add(const THandler& handler);
    void Remove(const THandler& handler);
    void FireAll();
    int Count() const { return static_cast<int>(FHandlers.size()); }
    void* Sender() const { return FSender; }

private:
    void* FSender;
    std::vector<THandler> FHandlers;
};
