#pragma once

// The rich-text editor control: the viewer plus editing. This is the part the
// editing engine calls (construction and flags, its document, read-only state,
// the undo limit, change notification, the current styles and their events,
// the caret-move notification, undo groups and clearing the history).

#include <functional>
#include <memory>

#include "editing/RDERDData.h"
#include "viewer/RDRichDoc.h"

class TCustomRichDocEdit : public TCustomRichDoc {
public:
    explicit TCustomRichDocEdit(QWidget* parent = nullptr);
    ~TCustomRichDocEdit() override;

    // The editor's document.
    TRDEditRDData* EditData() const;

    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    int UndoLimit() const;
    void SetUndoLimit(int value);
    bool Modified = false;

    // Whether the document may change now (not read-only, the change is allowed).
    bool CanChange();
    // The document changed: modified, OnChange; clearRedo empties the redo list.
    void Change(bool clearRedo);
    void DoCaretMove();
    bool BeginUndoGroup(uint8_t kind);
    void ClearUndoHistory();

    int CurTextStyleNo() const;
    int CurParaStyleNo() const;
    void SetCurTextStyleNo(int value);
    void SetCurParaStyleNo(int value);

    std::function<void(QObject* sender)> OnChange;
    std::function<void(QObject* sender)> OnCaretMove;
    std::function<void(QObject* sender)> OnCurTextStyleChanged;
    std::function<void(QObject* sender)> OnCurParaStyleChanged;
    // Text of an item was edited (old text given); the handler may change the item's tag and style.
    std::function<void(TCustomRichDocEdit* sender, const QByteArray& oldText, TCustomRDData* rdData, int itemNo,
                       TRDTag& newTag, int& newStyleNo)>
        OnItemTextEdit;

protected:
    std::unique_ptr<TRichDocRDData> CreateDocumentData() override;

private:
    bool FReadOnly = false;
};

// The editor as screens place it.
class TRichDocEdit : public TCustomRichDocEdit {
public:
    using TCustomRichDocEdit::TCustomRichDocEdit;
};
