#include "core/RDFStream.h"

#include <limits>
#include <memory>

#include <QtWidgets/QWidget>

#include "StdControls.h"

namespace {

const char HexDigits[] = "0123456789ABCDEF";

// The value of every byte as a hexadecimal digit, -1 for the others.
struct THexValues {
    int8_t Values[256];
    constexpr THexValues() : Values()
    {
        for (int c = 0; c < 256; ++c)
            Values[c] = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                        : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    }
};
constexpr THexValues HexValues;

int HexValue(char c)
{
    return HexValues.Values[static_cast<unsigned char>(c)];
}

// Decodes pairs into out; the number of bytes decoded before the first bad pair.
qsizetype DecodeHex(const QByteArray& s, char* out)
{
    const qsizetype count = s.size() / 2;
    const char* in = s.constData();
    for (qsizetype i = 0; i < count; ++i) {
        const int high = HexValue(in[2 * i]);
        const int low = HexValue(in[2 * i + 1]);
        if ((high | low) < 0)
            return i;
        out[i] = static_cast<char>(high * 16 + low);
    }
    return count;
}

void WriteInt32(TRDStream& stream, int32_t value)
{
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
    stream.WriteBuffer(bytes, 4);
}

}  // namespace

void RDFWrite(TRDStream& stream, const QByteArray& s)
{
    stream.WriteBuffer(s.constData(), s.size());
}

void RDFWriteLine(TRDStream& stream, const QByteArray& s)
{
    RDFWrite(stream, s);
    RDFWrite(stream, QByteArrayLiteral("\r\n"));
}

void RDFWriteTextLine(TRDStream& stream, const QByteArray& s, bool unicode, bool hex)
{
    if (unicode && hex) {
        QByteArray h;
        RDFStringToHex(s, h);
        RDFWriteLine(stream, h);
    } else if (unicode) {
        RDFWrite(stream, s);
        RDFWrite(stream, QByteArrayLiteral("\x29\x20"));
    } else {
        RDFWriteLine(stream, s);
    }
}

void RDFSaveStreamBinary(const TRDMemoryStream& memory, TRDStream& stream)
{
    if (memory.Size() > std::numeric_limits<int32_t>::max())
        throw EStreamError("Stream write error");
    WriteInt32(stream, static_cast<int32_t>(memory.Size()));
    stream.WriteBuffer(memory.Memory(), memory.Size());
}

void RDFWriteBinaryBlock(TRDStream& stream, const QByteArray& data)
{
    WriteInt32(stream, static_cast<int32_t>(data.size()));
    RDFWrite(stream, data);
}

bool RDFReadBinaryBlock(TRDStream& stream, QByteArray& data)
{
    unsigned char bytes[4];
    if (stream.Read(bytes, 4) != 4)
        return false;
    const int32_t length = static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16)
                                                | (static_cast<uint32_t>(bytes[3]) << 24));
    const int64_t position = stream.Position();
    if (length < 0 || position < 0 || length > stream.Size() - position)
        return false;
    data.resize(length);
    return stream.Read(data.data(), length) == length;
}

void RDFMemoryToHex(const TRDMemoryStream& memory, QByteArray& s)
{
    RDFStringToHex(QByteArray::fromRawData(memory.Memory(), memory.Size()), s);
}

void RDFStringToHex(const QByteArray& s, QByteArray& result)
{
    result.resize(s.size() * 2);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        result[2 * i] = HexDigits[b >> 4];
        result[2 * i + 1] = HexDigits[b & 15];
    }
}

bool RDFHexToMemory(const QByteArray& s, TRDMemoryStream& memory)
{
    if (s.size() % 2 != 0)
        return false;
    memory.SetSize(s.size() / 2);
    memory.SetPosition(0);
    return DecodeHex(s, memory.Memory()) == s.size() / 2;
}

bool RDFHexToString(const QByteArray& s, QByteArray& result)
{
    result.clear();
    if (s.size() % 2 != 0)
        return false;
    // Exactly the size: pictures keep what is decoded here as their bytes.
    result = QByteArray(s.size() / 2, Qt::Uninitialized);
    const qsizetype decoded = DecodeHex(s, result.data());
    result.truncate(decoded);
    return decoded == s.size() / 2;
}

void RDFWideToHex(const QString& ws, QByteArray& s)
{
    s.resize(ws.size() * 4);
    for (qsizetype i = 0; i < ws.size(); ++i) {
        const char16_t u = ws[i].unicode();
        for (int d = 0; d < 4; ++d)
            s[4 * i + d] = HexDigits[(u >> (12 - 4 * d)) & 15];
    }
}

bool RDFHexToWide(const QByteArray& s, QString& ws)
{
    ws.clear();
    if (s.size() % 4 != 0)
        return false;
    ws.reserve(s.size() / 4);
    for (qsizetype i = 0; i < s.size(); i += 4) {
        int value = 0;
        for (int d = 0; d < 4; ++d) {
            const int v = HexValue(s[i + d]);
            if (v < 0)
                return false;
            value = value * 16 + v;
        }
        ws += QChar(static_cast<char16_t>(value));
    }
    return true;
}

bool RDFReadWord(const char*& cursor, QByteArray& s)
{
    const char* start = cursor;
    while (*cursor && *cursor != ' ')
        ++cursor;
    s = QByteArray(start, cursor - start);
    if (*cursor == ' ')
        ++cursor;
    return !s.isEmpty();
}

bool RDFReadInteger(const char*& cursor, int32_t& n)
{
    bool negative = false;
    if (*cursor == '-') {
        negative = true;
        ++cursor;
    } else if (*cursor < '0' || *cursor > '9') {
        return false;
    }
    int64_t value = 0;
    while (*cursor >= '0' && *cursor <= '9') {
        value = value * 10 + (*cursor - '0');
        if (value > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + (negative ? 1 : 0))
            return false;
        ++cursor;
    }
    if (*cursor == ' ')
        ++cursor;
    else if (*cursor != '\0')
        return false;
    n = static_cast<int32_t>(negative ? -value : value);
    return true;
}

bool RDFReadQuoted(const char*& cursor, QByteArray& s)
{
    if (*cursor != '"')
        return false;
    const char* p = cursor + 1;
    QByteArray result;
    for (;;) {
        if (*p == '\0')
            return false;
        if (*p == '"') {
            if (p[1] == '"') {
                result += '"';
                p += 2;
                continue;
            }
            ++p;
            break;
        }
        result += *p++;
    }
    if (*p == ' ')
        ++p;
    cursor = p;
    s = result;
    return true;
}

bool RDFReadTag(const char*& cursor, bool tagsArePChars, bool quotedAllowed, TRDTag& tag)
{
    QByteArray text;
    bool quoted = false;
    if (quotedAllowed && *cursor == '"') {
        if (!RDFReadQuoted(cursor, text))
            return false;
        quoted = true;
    } else if (!RDFReadWord(cursor, text)) {
        return false;
    }
    if (tagsArePChars) {
        tag = (!quoted && text == "0") ? TRDTag() : TRDTag::FromString(text);
        return true;
    }
    const char* p = text.constData();
    int32_t value = 0;
    if (!RDFReadInteger(p, value) || *p != '\0')
        return false;
    tag = TRDTag::FromInt(value);
    return true;
}

QByteArray RDFQuoted(const QByteArray& s)
{
    QByteArray result = s;
    result.replace("\"", "\"\"");
    return '"' + result + '"';
}

QByteArray RDFTagToString(bool tagsArePChars, const TRDTag& tag)
{
    if (!tagsArePChars)
        return QByteArray::number(tag.Int);
    if (!tag.Str.has_value() || tag.Str->isEmpty())
        return QByteArrayLiteral("0");
    return RDFQuoted(*tag.Str);
}

QByteArray RDFEncodeLineBreaks(const QByteArray& s)
{
    QByteArray result = s;
    for (char& c : result) {
        if (c == '\r')
            c = '\x01';
        else if (c == '\n')
            c = '\x02';
    }
    return result;
}

QByteArray RDFDecodeLineBreaks(const QByteArray& s)
{
    QByteArray result = s;
    for (char& c : result) {
        if (c == '\x01')
            c = '\r';
        else if (c == '\x02')
            c = '\n';
    }
    return result;
}

void RDFSaveGraphicHex(const TGraphic& graphic, QByteArray& s)
{
    RDFStringToHex(graphic.SaveToStream(), s);
}

bool RDFLoadGraphicHex(const QByteArray& s, TGraphic& graphic)
{
    TRDMemoryStream memory;
    const bool valid = RDFHexToMemory(s, memory);
    graphic.LoadFromStream(memory.ToBytes());
    return valid;
}

void RDFSaveGraphicRaw(const TGraphic& graphic, QByteArray& s)
{
    s = graphic.SaveToStream();
}

void RDFLoadGraphicRaw(const QByteArray& s, TGraphic& graphic)
{
    graphic.LoadFromStream(s);
}

void RDFSaveGraphicBinary(TRDStream& stream, const TGraphic& graphic)
{
    RDFWriteBinaryBlock(stream, graphic.SaveToStream());
}

bool RDFLoadGraphicBinary(TRDStream& stream, TGraphic& graphic)
{
    QByteArray data;
    if (!RDFReadBinaryBlock(stream, data))
        return false;
    graphic.LoadFromStream(data);
    return true;
}

namespace {

QByteArray ComponentBytes(const QWidget& component)
{
    TComponentWriter writer;
    WriteControl(writer, component);
    return writer.Data();
}

bool LoadComponent(const QByteArray& data, QWidget*& component, const QString& className, QWidget* parent)
{
    if (!className.isEmpty()) {
        std::unique_ptr<QWidget> made(CreateControlByClassName(className));
        if (!made)
            return false;
        delete component;
        component = made.release();
    }
    if (component)
        component->setParent(parent);
    try {
        TComponentReader reader(data);
        component = ReadControl(reader, component);
        if (!reader.AtEnd())
            reader.Fail("Data after the component");
    } catch (const std::exception&) {
        delete component;
        component = nullptr;
        return false;
    }
    if (parent)
        component->setParent(parent);
    return true;
}

}  // namespace

void RDFSaveComponentHex(const QWidget& component, QByteArray& s)
{
    RDFStringToHex(ComponentBytes(component), s);
}

void RDFSaveComponentBinary(TRDStream& stream, const QWidget& component)
{
    RDFWriteBinaryBlock(stream, ComponentBytes(component));
}

bool RDFLoadComponentHex(const QByteArray& s, QWidget*& component, const QString& className, QWidget* parent)
{
    QByteArray data;
    if (!RDFHexToString(s, data)) {
        // Nothing is read from hexadecimal that is not whole.
        delete component;
        component = nullptr;
        return false;
    }
    return LoadComponent(data, component, className, parent);
}

bool RDFLoadComponentBinary(const QByteArray& s, QWidget*& component, const QString& className, QWidget* parent)
{
    return LoadComponent(s, component, className, parent);
}
