#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <QtCore/QString>

#include "styles/RDListStyles.h"
#include "styles/RDParaStyles.h"
#include "styles/RDTextStyles.h"

class TRDStyle;
class TRDStyleTemplate;
class TRDStyleTemplateCollection;

using TRDStyleTemplateId = int32_t;

// Which paragraph properties a template defines: rdpiFirstIndent to
// rdpiBorder_Vis_Bottom, and rdpiNoWrap onwards from bit 0.
constexpr int RDParaProperties2Shift = rdpiNoWrap;
inline TRDParaInfoProperties JoinParaProperties(TRDParaInfoProperties1 p1, TRDParaInfoProperties2 p2)
{
    return TRDParaInfoProperties(p1) | (TRDParaInfoProperties(p2) << RDParaProperties2Shift);
}
inline TRDParaInfoProperties1 ParaProperties1Of(TRDParaInfoProperties p)
{
    return static_cast<TRDParaInfoProperties1>(p & ((TRDParaInfoProperties(1) << RDParaProperties2Shift) - 1));
}
inline TRDParaInfoProperties2 ParaProperties2Of(TRDParaInfoProperties p)
{
    return static_cast<TRDParaInfoProperties2>(p >> RDParaProperties2Shift);
}

// The parts of a template belong to no collection; their StyleTemplateId,
// StyleName, Standard and BaseStyleNo are not properties of theirs: streams
// that name them fail through RefuseTemplatePartProperty.
[[noreturn]] void RefuseTemplatePartProperty();

class TRDSTFontInfo : public TCustomRDFontInfo {
public:
    explicit TRDSTFontInfo(TRDStyleTemplate* owner) : FTemplate(owner) {}
    TRDStyleTemplate* GetOwner() const { return FTemplate; }

private:
    TRDStyleTemplate* FTemplate;
};

class TRDSTParaInfo : public TCustomRDParaInfo {
public:
    explicit TRDSTParaInfo(TRDStyleTemplate* owner) : FTemplate(owner) {}
    TRDStyleTemplate* GetOwner() const { return FTemplate; }

private:
    TRDStyleTemplate* FTemplate;
};

class TRDSTListInfo : public TRDListInfo {
public:
    explicit TRDSTListInfo(TRDStyleTemplate* owner) : FTemplate(owner) {}
    TRDStyleTemplate* GetOwner() const { return FTemplate; }

private:
    TRDStyleTemplate* FTemplate;
};

// A named, inheritable set of text and paragraph properties.
class TRDStyleTemplate {
public:
    // Created inside collection (nullptr: standing alone); outside loading it
    // takes a new default name.
    explicit TRDStyleTemplate(TRDStyleTemplateCollection* collection);
    TRDStyleTemplate(const TRDStyleTemplate&) = delete;
    TRDStyleTemplate& operator=(const TRDStyleTemplate&) = delete;
    ~TRDStyleTemplate();

    TRDStyleTemplateCollection* Collection() const { return FCollection; }
    int Index() const;

    const QString& Name() const { return FName; }
    void SetName(const QString& value);
    QString GetDisplayName() const { return FName; }
    // Assigned on first read: a random id no other template of the collection has.
    TRDStyleTemplateId GetId();
    // The stored id as it stands (not assigned when not above 0).
    TRDStyleTemplateId StoredId() const { return FId; }
    // Stores an id read from a stream, without checks.
    void SetStoredId(TRDStyleTemplateId id) { FId = id; }
    TRDStyleTemplateId ParentId() const { return FParentId; }
    // Links to the parent with that id; raises ERichDocError "Circular
    // references are not allowed" (and keeps no parent) for a cycle.
    void SetParentId(TRDStyleTemplateId value);
    TRDStyleTemplate* Parent() const { return FParent; }
    const std::vector<TRDStyleTemplate*>& Children() const { return FChildren; }

    TRDSTFontInfo& TextStyle() { return FTextStyle; }
    const TRDSTFontInfo& TextStyle() const { return FTextStyle; }
    TRDSTParaInfo& ParaStyle() { return FParaStyle; }
    const TRDSTParaInfo& ParaStyle() const { return FParaStyle; }
    TRDSTListInfo& ListStyle() { return FListStyle; }
    void SetTextStyle(const TCustomRDFontInfo& value) { FTextStyle.Assign(value); }
    void SetParaStyle(const TCustomRDParaInfo& value) { FParaStyle.Assign(value); }

    TRDFontInfoProperties ValidTextProperties = 0;
    TRDParaInfoProperties1 ValidParaProperties1 = 0;
    TRDParaInfoProperties2 ValidParaProperties2 = 0;
    TRDParaInfoProperties ValidParaProperties() const
    {
        return JoinParaProperties(ValidParaProperties1, ValidParaProperties2);
    }

    // Copies the parts, the name, the valid sets, and the parent id when both
    // templates are in the same collection.
    void Assign(const TRDStyleTemplate& source);

    void ApplyToTextStyle(TCustomRDFontInfo& textStyle, const TCustomRDParaInfo* paraStyle, bool recordTemplate);
    void ApplyToParaStyle(TCustomRDParaInfo& paraStyle, bool recordTemplate);

private:
    friend class TRDStyleTemplateCollection;
    bool LinkingActive() const;
    void AddChild(TRDStyleTemplate* child);
    void RemoveChild(TRDStyleTemplate* child);
    bool InOwnAncestors() const;

    TRDStyleTemplateCollection* FCollection;
    QString FName;
    TRDStyleTemplateId FId = 0;
    TRDStyleTemplateId FParentId = -1;
    TRDSTFontInfo FTextStyle;
    TRDSTParaInfo FParaStyle;
    TRDSTListInfo FListStyle;
    TRDStyleTemplate* FParent = nullptr;
    std::vector<TRDStyleTemplate*> FChildren;
};

class TRDStyleTemplateCollection {
public:
    explicit TRDStyleTemplateCollection(TRDStyle* owner);
    TRDStyleTemplateCollection(const TRDStyleTemplateCollection&) = delete;
    TRDStyleTemplateCollection& operator=(const TRDStyleTemplateCollection&) = delete;
    ~TRDStyleTemplateCollection();

    TRDStyle* GetOwner() const { return FOwner; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Raises ERichDocError for an index out of range.
    TRDStyleTemplate* GetItem(int index) const;
    TRDStyleTemplate* operator[](int index) const { return GetItem(index); }
    TRDStyleTemplate* Add();
    void Delete(int index);
    void Clear();
    int IndexOf(const TRDStyleTemplate* item) const;
    int IndexOfId(TRDStyleTemplateId id) const;
    TRDStyleTemplate* FindById(TRDStyleTemplateId id) const;

    // The pattern of new names, with the counter as its one argument.
    QString DefStyleName = QStringLiteral("Style %d");
    TRDStyleTemplate* NormalTemplate() const { return FNormal; }

    void Assign(const TRDStyleTemplateCollection& source) { AssignTemplates(source, false); }
    void AssignTemplates(const TRDStyleTemplateCollection& source, bool copyIds);
    void ResolveParents();
    // Replaces this collection's templates by those of other (which is left
    // empty), as they stand: names, ids and parent ids are kept, links are not made.
    void TakeItemsFrom(TRDStyleTemplateCollection& other);
    void ApplyNormalToTextStyle(TCustomRDFontInfo& textStyle, const TCustomRDParaInfo* paraStyle);
    void ApplyNormalToParaStyle(TCustomRDParaInfo& paraStyle);
    void MakeDefaultName(TRDStyleTemplate& item);

    // True while the owner sheet is being loaded.
    bool Loading() const;

private:
    friend class TRDStyleTemplate;
    TRDStyle* FOwner;
    std::vector<std::unique_ptr<TRDStyleTemplate>> FItems;
    int32_t FNameCounter = 0;
    TRDStyleTemplate* FNormal = nullptr;
};
