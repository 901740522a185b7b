#include "AudioPipeTags.h"

#include "AnsiText.h"

#include <QtCore/QByteArray>

#include <algorithm>

// ================================================================== TAudioTags

void TAudioTags::AddName(const QString& name, const QVariant& defaultValue)
{
    FValueList[name.toLower()] = TTagValueInfo{name, defaultValue};
}

QVariant TAudioTags::GetValue(const QString& name) const
{
    auto it = FValueList.find(name.toLower());
    return it == FValueList.end() ? QVariant() : it->second.Value;
}

void TAudioTags::SetValue(const QString& name, const QVariant& value)
{
    auto it = FValueList.find(name.toLower());
    if (it == FValueList.end())
        return;
    if (it->second.Value == value && it->second.Value.isValid() == value.isValid())
        return;
    it->second.Value = value;
    FNoValues = false;
    FDirty = true;
}

namespace {
bool IsIntegerValue(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}
}  // namespace

int TAudioTags::AsInteger(const QString& name) const
{
    const QVariant v = GetValue(name);
    if (IsIntegerValue(v))
        return v.toInt();
    switch (v.typeId()) {
    case QMetaType::QString: {
        bool ok = false;
        const int n = v.toString().trimmed().toInt(&ok);
        return ok ? n : 0;
    }
    default:
        return 0;
    }
}

QString TAudioTags::AsString(const QString& name) const
{
    const QVariant v = GetValue(name);
    if (!v.isValid())
        return QString();
    if (IsIntegerValue(v))
        return QString::number(v.toLongLong());
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    default:
        return QString();
    }
}

void TAudioTags::Clear()
{
    for (auto& item : FValueList)
        item.second.Value = QVariant();
    FNoValues = true;
    FDirty = true;
}

void TAudioTags::Assign(const TAudioTags& source)
{
    if (&source == this)
        return;
    Clear();
    for (const auto& item : source.FValueList)
        if (item.second.Value.isValid())
            SetValue(item.second.Name, item.second.Value);
}

QStringList TAudioTags::Names() const
{
    QStringList names;
    for (const auto& item : FValueList)
        names << item.second.Name;
    return names;
}

bool TAudioTags::HasTag(QIODevice* handle)
{
    return handle && handle->isOpen();
}

bool TAudioTags::ReadFromFile(QIODevice* handle)
{
    if (!handle || !handle->isOpen())
        return false;
    Clear();
    return true;
}

bool TAudioTags::WriteToFile(QIODevice* handle)
{
    return handle && handle->isOpen();
}

// ================================================================== TId3v1Tags

namespace {

const char* const GenreNames[TId3v1Tags::GenreCount] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "Alt. Rock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental pop",
    "Instrumental rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber music",
    "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba",
    "Folklore", "Ballad", "Power Ballad", "Rhythmic soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo",
    "A Cappella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal",
    "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Thrash Metal", "Anime", "JPop",
    "Synthpop"};

// Trims spaces and control characters at both ends.
QByteArray TrimField(QByteArray bytes)
{
    int end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);
    int first = 0;
    int last = bytes.size() - 1;
    while (first <= last && quint8(bytes[first]) <= 32)
        ++first;
    while (last >= first && quint8(bytes[last]) <= 32)
        --last;
    return bytes.mid(first, last - first + 1);
}

bool ReadTrailer(QIODevice* handle, QByteArray& trailer)
{
    if (!handle || !handle->isOpen() || handle->isSequential() || handle->size() < 128)
        return false;
    const qint64 pos = handle->pos();
    bool ok = handle->seek(handle->size() - 128);
    if (ok) {
        trailer = handle->read(128);
        ok = trailer.size() == 128 && trailer.startsWith("TAG");
    }
    handle->seek(pos);
    return ok;
}

// Bytes of the text in ANSI, cut to at most max bytes.
QByteArray AnsiField(const QString& text, int max)
{
    return StringToAnsi(text).left(max);
}

}  // namespace

TId3v1Tags::TId3v1Tags()
{
    AddName("artist");
    AddName("album");
    AddName("genre", 12);
    AddName("year");
    AddName("track");
    AddName("title");
    AddName("comment");
}

QString TId3v1Tags::GenreName(int id)
{
    if (id < 0 || id >= GenreCount)
        return QString();
    return QString::fromLatin1(GenreNames[id]);
}

TId3v1TagsGenreId TId3v1Tags::GenreId() const
{
    const int id = AsInteger("genre");
    return id >= 0 && id < GenreCount ? id : 12;
}

void TId3v1Tags::SetGenre(const QString& name)
{
    const QString wanted = name.trimmed();
    for (int i = 0; i < GenreCount; ++i) {
        if (wanted.compare(QLatin1String(GenreNames[i]), Qt::CaseInsensitive) == 0) {
            SetGenreId(i);
            return;
        }
    }
}

bool TId3v1Tags::HasTag(QIODevice* handle)
{
    QByteArray trailer;
    return ReadTrailer(handle, trailer);
}

bool TId3v1Tags::ReadFromFile(QIODevice* handle)
{
    Clear();
    QByteArray t;
    if (!ReadTrailer(handle, t))
        return false;
    SetTitle(AnsiToString(TrimField(t.mid(3, 30))));
    SetArtist(AnsiToString(TrimField(t.mid(33, 30))));
    SetAlbum(AnsiToString(TrimField(t.mid(63, 30))));
    bool ok = false;
    const int year = QString::fromLatin1(TrimField(t.mid(93, 4))).toInt(&ok);
    SetYear(std::uint16_t(ok ? year : 0));
    const char b125 = t[125];
    const char b126 = t[126];
    if ((b125 == 0 && b126 != 0) || (b125 == ' ' && b126 != ' ')) {
        SetComment(AnsiToString(TrimField(t.mid(97, 28))));
        SetTrack(std::uint8_t(b126));
    } else {
        SetComment(AnsiToString(TrimField(t.mid(97, 30))));
        SetTrack(0);
    }
    SetGenreId(quint8(t[127]));
    return true;
}

bool TId3v1Tags::WriteToFile(QIODevice* handle)
{
    if (!handle || !handle->isOpen() || !handle->isWritable())
        return false;
    QByteArray t(128, '\0');
    t.replace(0, 3, "TAG");
    auto put = [&t](int offset, const QByteArray& bytes) { t.replace(offset, bytes.size(), bytes); };
    put(3, AnsiField(Title(), 30));
    put(33, AnsiField(Artist(), 30));
    put(63, AnsiField(Album(), 30));
    put(93, QByteArray::number(Year()).left(4));
    if (Track() != 0) {
        put(97, AnsiField(Comment(), 28));
        t[126] = char(Track());
    } else {
        put(97, AnsiField(Comment(), 30));
    }
    t[127] = char(quint8(GenreId()));
    if (!handle->isSequential() && !handle->seek(handle->size()))
        return false;
    return handle->write(t) == 128;
}

// ================================================================== TId3v2Tags

namespace {

struct TFrameIds {
    const char* Short;
    const char* Long;
    bool Wide;
};

const TFrameIds FrameIds[12] = {
    {"TAL", "TALB", true}, {"TP1", "TPE1", true}, {"TCO", "TCON", true}, {"TT2", "TIT2", true},
    {"TRK", "TRCK", false}, {"TYE", "TYER", false}, {"COM", "COMM", true}, {"TCM", "TCOM", true},
    {"TEN", "TENC", true}, {"TCR", "TCOP", true}, {"TLA", "TLAN", true}, {"WXX", "WXXX", true}};

constexpr int CommentIndex = 6;

bool ValidHeader(const QByteArray& h)
{
    if (h.size() < 10 || !h.startsWith("ID3") || quint8(h[4]) == 255)
        return false;
    const quint8 flags = quint8(h[5]);
    quint8 known = 0;
    switch (quint8(h[3])) {
    case 2: known = 0xC0; break;
    case 3: known = 0xE0; break;
    case 4: known = 0xF0; break;
    default: return false;
    }
    if (flags & ~known)
        return false;
    for (int i = 6; i < 10; ++i)
        if (quint8(h[i]) & 0x80)
            return false;
    return true;
}

quint32 SynchsafeSize(const QByteArray& h)
{
    return (quint32(quint8(h[6])) << 21) | (quint32(quint8(h[7])) << 14) | (quint32(quint8(h[8])) << 7)
           | quint32(quint8(h[9]));
}

QString DecodeFrameText(const QByteArray& data, bool& ok)
{
    ok = true;
    if (data.isEmpty()) {
        ok = false;
        return QString();
    }
    const quint8 encoding = quint8(data[0]);
    QByteArray body = data.mid(1);
    switch (encoding) {
    case 0: {
        const int z = body.indexOf('\0');
        return QString::fromLatin1(z >= 0 ? body.left(z) : body);
    }
    case 1: {
        int start = 0;
        bool bigEndian = false;
        if (body.size() >= 2 && quint8(body[0]) == 0xFF && quint8(body[1]) == 0xFE) {
            start = 2;
        } else if (body.size() >= 2 && quint8(body[0]) == 0xFE && quint8(body[1]) == 0xFF) {
            start = 2;
            bigEndian = true;
        }
        QString text;
        for (int i = start; i + 1 < body.size(); i += 2) {
            const char16_t c = bigEndian ? char16_t((quint8(body[i]) << 8) | quint8(body[i + 1]))
                                         : char16_t(quint8(body[i]) | (quint8(body[i + 1]) << 8));
            if (c == 0)
                break;
            text.append(QChar(c));
        }
        return text;
    }
    case 3: {
        const int z = body.indexOf('\0');
        return QString::fromUtf8(z >= 0 ? body.left(z) : body);
    }
    default:
        ok = false;
        return QString();
    }
}

}  // namespace

TId3v2Tags::TId3v2Tags()
{
    for (const TFrameIds& ids : FrameIds) {
        AddName(QString::fromLatin1(ids.Short));
        AddName(QString::fromLatin1(ids.Long));
    }
}

QString TId3v2Tags::Text(int index) const
{
    const TFrameIds& ids = FrameIds[index];
    return AsString(QString::fromLatin1(FLongFrameIds ? ids.Long : ids.Short));
}

void TId3v2Tags::SetText(int index, const QString& v)
{
    const TFrameIds& ids = FrameIds[index];
    SetValue(QString::fromLatin1(FLongFrameIds ? ids.Long : ids.Short), v);
}

bool TId3v2Tags::HasTag(QIODevice* handle)
{
    if (!handle || !handle->isOpen())
        return false;
    const QByteArray h = handle->peek(10);
    return ValidHeader(h);
}

bool TId3v2Tags::ReadFromFile(QIODevice* handle)
{
    Clear();
    if (!HasTag(handle))
        return false;
    const qint64 start = handle->pos();
    const QByteArray h = handle->read(10);
    const int version = quint8(h[3]);
    FLongFrameIds = version != 2;
    qint64 tagSize = qint64(SynchsafeSize(h)) + 10;
    if (quint8(h[5]) & 0x10)
        tagSize += 10;
    const qint64 tagEnd = start + tagSize;
    if (handle->isSequential() || handle->size() >= tagEnd) {
        const int headerSize = version == 2 ? 6 : 10;
        const int idSize = version == 2 ? 3 : 4;
        qint64 pos = start + 10;
        while (pos + headerSize <= tagEnd) {
            const QByteArray fh = handle->read(headerSize);
            if (fh.size() != headerSize)
                break;
            if (fh[0] < 'A' || fh[0] > 'Z')
                break;
            quint32 size = 0;
            for (int i = idSize; i < idSize + (version == 2 ? 3 : 4); ++i)
                size = (size << 8) | quint8(fh[i]);
            pos += headerSize;
            if (pos + qint64(size) > tagEnd)
                break;
            const QByteArray data = handle->read(size);
            if (data.size() != qint64(size))
                break;
            pos += size;
            if (size == 0)
                continue;
            const QString id = QString::fromLatin1(fh.left(idSize));
            for (int i = 0; i < 12; ++i) {
                if (i == CommentIndex)
                    continue;
                if (id == QLatin1String(FLongFrameIds ? FrameIds[i].Long : FrameIds[i].Short)) {
                    bool ok = false;
                    const QString text = DecodeFrameText(data, ok);
                    if (ok)
                        SetValue(id, text);
                    break;
                }
            }
        }
    }
    if (!handle->isSequential())
        handle->seek(tagEnd);
    return true;
}

bool TId3v2Tags::WriteToFile(QIODevice* handle, bool unicode)
{
    if (!handle || !handle->isOpen() || !handle->isWritable() || handle->isSequential())
        return false;
    QByteArray frames;
    for (int i = 0; i < 12; ++i) {
        if (i == CommentIndex)
            continue;
        const QString value = AsString(QString::fromLatin1(FrameIds[i].Long));
        if (value.isEmpty())
            continue;  // empty values are left out
        QByteArray text;
        char encoding = 0;
        if (unicode && FrameIds[i].Wide) {
            text = value.toUtf8();
            encoding = 3;
        } else {
            text = StringToAnsi(value);
        }
        const quint32 length = quint32(text.size() + 1);
        frames += FrameIds[i].Long;
        frames += char(length >> 24);
        frames += char(length >> 16);
        frames += char(length >> 8);
        frames += char(length);
        frames += QByteArray(2, '\0');
        frames += encoding;
        frames += text;
    }
    const int padding = 16 - int((frames.size() + 10) % 16);
    const quint32 size = quint32(frames.size() + padding);
    QByteArray tag("ID3");
    tag += char(4);
    tag += char(0);
    tag += char(0);
    tag += char((size >> 21) & 0x7F);
    tag += char((size >> 14) & 0x7F);
    tag += char((size >> 7) & 0x7F);
    tag += char(size & 0x7F);
    tag += frames;
    tag += QByteArray(padding, '\0');

    if (!handle->seek(0))
        return false;
    const QByteArray contents = handle->readAll();
    if (!handle->seek(0))
        return false;
    if (handle->write(tag) != tag.size() || handle->write(contents) != contents.size())
        return false;
    return true;
}

// ================================================================== TAPEv2Tags

TAPEv2Tags::TAPEv2Tags()
{
    for (const char* name : {"Artist", "Composer", "Album", "Debut album", "Publisher", "Conductor", "Copyright",
                             "ISBN", "ISRC", "EAN/UPC", "LC", "Catalog", "Language", "Genre", "Year", "Record Date",
                             "Record Location", "File", "Related", "Abstract", "Bibliography", "Track", "Title",
                             "Subtitle", "Comment"})
        AddName(QString::fromLatin1(name));
}
