#include "MMRIFF.h"

#include "MMDIB.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char InfoIdents[RiffInfoCount][5] = {"IARL", "IART", "ICMS", "ICMT", "ICOP", "ICRD", "ICRP", "IDIM",
                                               "IDPI", "IENG", "IGNR", "IKEY", "ILGT", "IMED", "INAM", "IPLT",
                                               "IPRD", "ISBJ", "ISFT", "ISHP", "ISRC", "ISRF", "ITCH"};

std::uint32_t GetLE32(const char* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

QByteArray UpToZero(const char* data, std::int64_t size)
{
    const void* zero = size > 0 ? std::memchr(data, 0, static_cast<size_t>(size)) : nullptr;
    const std::int64_t len = zero ? static_cast<const char*>(zero) - data : size;
    return QByteArray(data, static_cast<qsizetype>(len));
}

bool WriteChunk(TSndMmio& io, TFourCC id, const QByteArray& data)
{
    TMMCkInfo ck;
    ck.ckid = id;
    ck.cksize = data.size();
    if (!io.CreateChunk(ck, 0))
        return false;
    if (!data.isEmpty() && io.Write(data.constData(), data.size()) != data.size())
        return false;
    return io.Ascend(ck);
}

}  // namespace

TFourCC RiffInfoIdent(int index)
{
    if (index < 0 || index >= RiffInfoCount)
        return 0;
    const char* s = InfoIdents[index];
    return MakeFourCC(s[0], s[1], s[2], s[3]);
}

int RiffInfoIndex(TFourCC ident)
{
    for (int i = 0; i < RiffInfoCount; ++i)
        if (RiffInfoIdent(i) == ident)
            return i;
    return -1;
}

TSndInfoList::TSndInfoList()
{
    for (int i = 0; i < RiffInfoCount; ++i)
        Elements[i].Index = static_cast<std::uint16_t>(i);
}

QByteArray TSndInfoList::Text(int index) const
{
    if (index < 0 || index >= RiffInfoCount)
        return QByteArray();
    const TSndInfoElement& e = Elements[index];
    if (e.Flags & RIFF_INFO_REMOVED)
        return QByteArray();
    if (e.Flags & RIFF_INFO_REPLACED)
        return e.Replaced;
    if (e.Offset <= 0 || e.Offset >= Raw.size())
        return QByteArray();
    const std::int64_t size = std::min<std::int64_t>(e.Size, Raw.size() - e.Offset);
    return UpToZero(Raw.constData() + e.Offset, size);
}

void TSndInfoList::SetText(int index, const QByteArray& text)
{
    if (index < 0 || index >= RiffInfoCount)
        return;
    TSndInfoElement& e = Elements[index];
    e.Replaced = UpToZero(text.constData(), text.size());
    e.Flags = static_cast<std::uint16_t>((e.Flags | RIFF_INFO_REPLACED) & ~RIFF_INFO_REMOVED);
}

void TSndInfoList::RemoveText(int index)
{
    if (index < 0 || index >= RiffInfoCount)
        return;
    TSndInfoElement& e = Elements[index];
    e.Replaced.clear();
    e.Flags = static_cast<std::uint16_t>((e.Flags | RIFF_INFO_REMOVED) & ~RIFF_INFO_REPLACED);
}

std::int64_t TSndInfoList::FileBytes() const
{
    std::int64_t bytes = 0;
    for (int i = 0; i < RiffInfoCount; ++i) {
        const QByteArray text = Text(i);
        if (text.isEmpty())
            continue;
        const std::int64_t size = text.size() + 1;
        bytes += 8 + size + (size & 1);
    }
    return bytes > 0 ? bytes + 12 : 0;
}

QByteArray TSndDispElement::Payload() const
{
    const QByteArray& data = Data();
    if (data.isEmpty())
        return QByteArray();
    if (ClipboardFormat == CF_TEXT)
        return UpToZero(data.constData(), data.size()) + '\0';
    if (ClipboardFormat == CF_DIB) {
        if (data.size() < static_cast<qsizetype>(sizeof(TBitmapInfoHeader)))
            return QByteArray();
        TBitmapInfoHeader header;
        std::memcpy(&header, data.constData(), sizeof header);
        const std::int64_t size = static_cast<std::int64_t>(header.biSize) + header.biSizeImage +
                                  static_cast<std::int64_t>(header.biClrUsed) * 4;
        if (size <= 0 || size > data.size())
            return QByteArray();
        return data.left(static_cast<qsizetype>(size));
    }
    return QByteArray();
}

std::int64_t TSndDispList::FileBytes() const
{
    std::int64_t bytes = 0;
    for (const TSndDispElement& e : Elements) {
        const QByteArray payload = e.Payload();
        if (payload.isEmpty())
            continue;
        const std::int64_t size = 4 + payload.size();
        bytes += 8 + size + (size & 1);
    }
    return bytes;
}

int RiffReadInfoList(TSndMmio& io, const TMMCkInfo& list, TSndInfoList& info)
{
    if (list.cksize < 5)
        return RIFFERR_NOERROR;
    const std::int64_t payload = list.cksize - 4;
    if (payload > 16 * 1024 * 1024)
        return RIFFERR_NOERROR;  // not a text list; ignored
    QByteArray raw;
    try {
        raw.resize(static_cast<qsizetype>(payload));
    } catch (...) {
        return RIFFERR_NOMEM;
    }
    if (io.Read(raw.data(), payload) != payload)
        return RIFFERR_FILEERROR;
    info.Raw = raw;
    std::int64_t pos = 0;
    while (pos + 8 <= payload) {
        const TFourCC id = GetLE32(raw.constData() + pos);
        const std::int64_t size = GetLE32(raw.constData() + pos + 4);
        const std::int64_t textOffset = pos + 8;
        const int index = RiffInfoIndex(id);
        if (index >= 0 && textOffset < payload) {
            TSndInfoElement& e = info.Elements[index];
            e.Offset = textOffset;
            e.Size = std::min(size, payload - textOffset);
        }
        pos = textOffset + size + (size & 1);
    }
    return RIFFERR_NOERROR;
}

int RiffReadDisp(TSndMmio& io, const TMMCkInfo& chunk, TSndDispList& disp)
{
    if (chunk.cksize < 5)
        return RIFFERR_NOERROR;
    if (chunk.cksize > 64 * 1024 * 1024)
        return RIFFERR_NOERROR;  // ignored
    QByteArray raw;
    try {
        raw.resize(static_cast<qsizetype>(chunk.cksize));
    } catch (...) {
        return RIFFERR_NOMEM;
    }
    if (io.Read(raw.data(), chunk.cksize) != chunk.cksize)
        return RIFFERR_FILEERROR;
    TSndDispElement e;
    e.ClipboardFormat = GetLE32(raw.constData());
    e.Raw = raw.mid(4);
    disp.Elements.push_back(e);
    return RIFFERR_NOERROR;
}

int RiffWriteDispList(TSndMmio& io, const TSndDispList& disp)
{
    for (const TSndDispElement& e : disp.Elements) {
        if (e.ClipboardFormat != CF_TEXT && e.ClipboardFormat != CF_DIB)
            continue;
        const QByteArray payload = e.Payload();
        if (payload.isEmpty())
            continue;
        QByteArray data(4, '\0');
        std::memcpy(data.data(), &e.ClipboardFormat, 4);
        data += payload;
        if (!WriteChunk(io, FOURCC_DISP, data))
            return RIFFERR_FILEERROR;
    }
    return RIFFERR_NOERROR;
}

int RiffWriteInfoList(TSndMmio& io, const TSndInfoList& info)
{
    TMMCkInfo list;
    bool open = false;
    for (int i = 0; i < RiffInfoCount; ++i) {
        const QByteArray text = info.Text(i);
        if (text.isEmpty())
            continue;
        if (!open) {
            list.fccType = FOURCC_INFO;
            list.cksize = 0;
            if (!io.CreateChunk(list, MMIO_CREATELIST))
                return RIFFERR_FILEERROR;
            open = true;
        }
        if (!WriteChunk(io, RiffInfoIdent(i), text + '\0'))
            return RIFFERR_FILEERROR;
    }
    if (open && !io.Ascend(list))
        return RIFFERR_FILEERROR;
    return RIFFERR_NOERROR;
}

int RiffCopyInfoList(TSndInfoList& target, const TSndInfoList& source)
{
    for (int i = 0; i < RiffInfoCount; ++i) {
        const QByteArray text = source.Text(i);
        if (text.isEmpty() || text == target.Text(i))
            continue;
        target.SetText(i, text);
    }
    return RIFFERR_NOERROR;
}

int RiffCopyDispList(TSndDispList& target, const TSndDispList& source)
{
    target.Elements.clear();
    for (const TSndDispElement& e : source.Elements) {
        if (e.ClipboardFormat == 0 || e.Data().isEmpty())
            continue;
        TSndDispElement copy;
        copy.ClipboardFormat = e.ClipboardFormat;
        copy.Flags = RIFF_DISP_REPLACED;
        copy.Replaced = e.Data();
        target.Elements.push_back(copy);
    }
    return RIFFERR_NOERROR;
}
