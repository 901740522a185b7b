#pragma once

// Tag containers of the audio pipeline's tagged files: the ID3v1 trailer, ID3v2
// text frames and APEv2 item names, all on one store of named values. The set
// of names is fixed by each class; values of other names are never stored.
//
// The file operations take an open file (nullptr stands for an invalid handle).

#include <QtCore/QIODevice>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariant>

#include <cstdint>
#include <map>

class TAudioTags {
public:
    TAudioTags() = default;
    virtual ~TAudioTags() = default;
    TAudioTags(const TAudioTags&) = delete;
    TAudioTags& operator=(const TAudioTags&) = delete;

    // The stored value, or an invalid variant for an unknown or unset name.
    QVariant GetValue(const QString& name) const;
    // Stores a value of a known name when it differs from the stored one.
    void SetValue(const QString& name, const QVariant& value);
    int AsInteger(const QString& name) const;
    QString AsString(const QString& name) const;
    QString AsWideString(const QString& name) const { return AsString(name); }
    // Every value becomes unset.
    void Clear();
    // Clear, then the values of every name of source that this container knows.
    void Assign(const TAudioTags& source);
    void AssignTo(TAudioTags& dest) const { dest.Assign(*this); }

    // The names of the container, in sorted order.
    QStringList Names() const;
    bool NoValues() const { return FNoValues; }
    bool Dirty() const { return FDirty; }

    virtual bool HasTag(QIODevice* handle);
    virtual bool ReadFromFile(QIODevice* handle);
    virtual bool WriteToFile(QIODevice* handle);

protected:
    void AddName(const QString& name, const QVariant& defaultValue = QVariant());

private:
    // Keyed by the lower-case name: names compare without regard to case.
    struct TTagValueInfo {
        QString Name;
        QVariant Value;
    };
    std::map<QString, TTagValueInfo> FValueList;
    bool FNoValues = true;
    bool FDirty = false;
};

// 0 .. 147; a stored value outside reads as 12 ("Other").
using TId3v1TagsGenreId = int;

class TId3v1Tags : public TAudioTags {
public:
    TId3v1Tags();

    static constexpr int GenreCount = 148;
    static QString GenreName(int id);  // empty outside 0 .. 147

    QString Title() const { return AsString("title"); }
    void SetTitle(const QString& v) { SetValue("title", v); }
    QString Artist() const { return AsString("artist"); }
    void SetArtist(const QString& v) { SetValue("artist", v); }
    QString Album() const { return AsString("album"); }
    void SetAlbum(const QString& v) { SetValue("album", v); }
    QString Comment() const { return AsString("comment"); }
    void SetComment(const QString& v) { SetValue("comment", v); }
    std::uint16_t Year() const { return std::uint16_t(AsInteger("year")); }
    void SetYear(std::uint16_t v) { SetValue("year", int(v)); }
    std::uint8_t Track() const { return std::uint8_t(AsInteger("track")); }
    void SetTrack(std::uint8_t v) { SetValue("track", int(v)); }
    TId3v1TagsGenreId GenreId() const;
    void SetGenreId(TId3v1TagsGenreId v) { SetValue("genre", int(v)); }
    QString Genre() const { return GenreName(GenreId()); }
    // Looks the trimmed text up without regard to case; no match: no change.
    void SetGenre(const QString& name);

    // The last 128 bytes of the file start with "TAG"; the position is kept.
    bool HasTag(QIODevice* handle) override;
    bool ReadFromFile(QIODevice* handle) override;
    // Appends a trailer at the end of the file.
    bool WriteToFile(QIODevice* handle) override;
};

class TId3v2Tags : public TAudioTags {
public:
    TId3v2Tags();

    // 4-character frame ids (version 2.3 and later) or the 3-character ones of 2.2.
    bool LongFrameIds() const { return FLongFrameIds; }
    void SetLongFrameIds(bool v) { FLongFrameIds = v; }

    QString Album() const { return Text(0); }
    void SetAlbum(const QString& v) { SetText(0, v); }
    QString Artist() const { return Text(1); }
    void SetArtist(const QString& v) { SetText(1, v); }
    QString Genre() const { return Text(2); }
    void SetGenre(const QString& v) { SetText(2, v); }
    QString Title() const { return Text(3); }
    void SetTitle(const QString& v) { SetText(3, v); }
    QString Track() const { return Text(4); }
    void SetTrack(const QString& v) { SetText(4, v); }
    QString Year() const { return Text(5); }
    void SetYear(const QString& v) { SetText(5, v); }
    QString Comment() const { return Text(6); }
    void SetComment(const QString& v) { SetText(6, v); }
    QString Composer() const { return Text(7); }
    void SetComposer(const QString& v) { SetText(7, v); }
    QString Encoder() const { return Text(8); }
    void SetEncoder(const QString& v) { SetText(8, v); }
    QString Copyright() const { return Text(9); }
    void SetCopyright(const QString& v) { SetText(9, v); }
    QString Language() const { return Text(10); }
    void SetLanguage(const QString& v) { SetText(10, v); }
    QString Link() const { return Text(11); }
    void SetLink(const QString& v) { SetText(11, v); }

    // A valid ID3v2 header at the current position; the position is kept.
    bool HasTag(QIODevice* handle) override;
    // Reads the tag at the current position and leaves the position at its end.
    bool ReadFromFile(QIODevice* handle) override;
    // Writes a version-4 tag in front of the file's contents (ANSI text frames).
    bool WriteToFile(QIODevice* handle) override { return WriteToFile(handle, false); }
    // Unicode: wide texts as UTF-8 frames.
    bool WriteToFile(QIODevice* handle, bool unicode);

private:
    QString Text(int index) const;
    void SetText(int index, const QString& v);

    bool FLongFrameIds = true;
};

class TAPEv2Tags : public TAudioTags {
public:
    TAPEv2Tags();

#define PIBO_APE_ITEM(Prop, Item)                                   \
    QString Prop() const { return AsString(Item); }                 \
    void Set##Prop(const QString& v) { SetValue(Item, v); }
    PIBO_APE_ITEM(Artist, "Artist")
    PIBO_APE_ITEM(Composer, "Composer")
    PIBO_APE_ITEM(Album, "Album")
    PIBO_APE_ITEM(DebutAlbum, "Debut album")
    PIBO_APE_ITEM(Publisher, "Publisher")
    PIBO_APE_ITEM(Conductor, "Conductor")
    PIBO_APE_ITEM(Copyright, "Copyright")
    PIBO_APE_ITEM(ISBN, "ISBN")
    PIBO_APE_ITEM(ISRC, "ISRC")
    PIBO_APE_ITEM(BarCode, "EAN/UPC")
    PIBO_APE_ITEM(LabelCode, "LC")
    PIBO_APE_ITEM(Catalog, "Catalog")
    PIBO_APE_ITEM(Language, "Language")
    PIBO_APE_ITEM(Genre, "Genre")
    PIBO_APE_ITEM(Year, "Year")
    PIBO_APE_ITEM(RecordDate, "Record Date")
    PIBO_APE_ITEM(RecordLocation, "Record Location")
    PIBO_APE_ITEM(File_, "File")
    PIBO_APE_ITEM(Related, "Related")
    PIBO_APE_ITEM(Abstract, "Abstract")
    PIBO_APE_ITEM(Bibliography, "Bibliography")
    PIBO_APE_ITEM(Track, "Track")
    PIBO_APE_ITEM(Title, "Title")
    PIBO_APE_ITEM(SubTitle, "Subtitle")
    PIBO_APE_ITEM(Comment, "Comment")
#undef PIBO_APE_ITEM
};
