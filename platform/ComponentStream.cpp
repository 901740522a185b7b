#include "ComponentStream.h"

#include <cstring>
#include <utility>

#include "AnsiText.h"

const char ComponentSignature[4] = {'T', 'P', 'F', '0'};

namespace {
template <typename T>
struct TIdent {
    T Value;
    const char* Name;
};

const TIdent<TColor> ColorIdents[] = {
    {0x000000, "clBlack"},     {0x000080, "clMaroon"},   {0x008000, "clGreen"},      {0x008080, "clOlive"},
    {0x800000, "clNavy"},      {0x800080, "clPurple"},   {0x808000, "clTeal"},       {0x808080, "clGray"},
    {0xC0C0C0, "clSilver"},    {0x0000FF, "clRed"},      {0x00FF00, "clLime"},       {0x00FFFF, "clYellow"},
    {0xFF0000, "clBlue"},      {0xFF00FF, "clFuchsia"},  {0xFFFF00, "clAqua"},       {0xFFFFFF, "clWhite"},
    {0xC0DCC0, "clMoneyGreen"}, {0xF0CAA6, "clSkyBlue"}, {0xF0FBFF, "clCream"},      {0xA4A0A0, "clMedGray"},
    {clActiveBorder, "clActiveBorder"}, {clActiveCaption, "clActiveCaption"}, {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"}, {clBtnFace, "clBtnFace"}, {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"}, {clBtnText, "clBtnText"}, {clCaptionText, "clCaptionText"},
    {clDefault, "clDefault"}, {clSystemColor | 27, "clGradientActiveCaption"},
    {clSystemColor | 28, "clGradientInactiveCaption"}, {clGrayText, "clGrayText"}, {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"}, {clHotLight, "clHotLight"}, {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"}, {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"}, {clInfoText, "clInfoText"}, {clMenu, "clMenu"}, {clMenuBar, "clMenuBar"},
    {clMenuHighlight, "clMenuHighlight"}, {clMenuText, "clMenuText"}, {clNone, "clNone"},
    {clScrollBar, "clScrollBar"}, {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"}, {clWindowFrame, "clWindowFrame"}, {clWindowText, "clWindowText"},
};

const TIdent<int> CursorIdents[] = {
    {0, "crDefault"},     {-1, "crNone"},       {-2, "crArrow"},      {-3, "crCross"},     {-4, "crIBeam"},
    {-6, "crSizeNESW"},   {-7, "crSizeNS"},     {-8, "crSizeNWSE"},  {-9, "crSizeWE"},
    {-10, "crUpArrow"},   {-11, "crHourGlass"}, {-12, "crDrag"},      {-13, "crNoDrop"},   {-14, "crHSplit"},
    {-15, "crVSplit"},    {-16, "crMultiDrag"}, {-17, "crSQLWait"},   {-18, "crNo"},       {-19, "crAppStart"},
    {-20, "crHelp"},      {-21, "crHandPoint"}, {-22, "crSizeAll"},
};

const TIdent<uint8_t> CharsetIdents[] = {
    {0, "ANSI_CHARSET"},       {1, "DEFAULT_CHARSET"},     {2, "SYMBOL_CHARSET"},     {77, "MAC_CHARSET"},
    {128, "SHIFTJIS_CHARSET"}, {129, "HANGEUL_CHARSET"},   {130, "JOHAB_CHARSET"},    {134, "GB2312_CHARSET"},
    {136, "CHINESEBIG5_CHARSET"}, {161, "GREEK_CHARSET"},  {162, "TURKISH_CHARSET"},  {163, "VIETNAMESE_CHARSET"},
    {177, "HEBREW_CHARSET"},   {178, "ARABIC_CHARSET"},    {186, "BALTIC_CHARSET"},   {204, "RUSSIAN_CHARSET"},
    {222, "THAI_CHARSET"},     {238, "EASTEUROPE_CHARSET"}, {255, "OEM_CHARSET"},
};

template <typename T, size_t N>
std::optional<QString> NameOf(const TIdent<T> (&table)[N], T value)
{
    for (const auto& entry : table)
        if (entry.Value == value)
            return QString::fromLatin1(entry.Name);
    return std::nullopt;
}

template <typename T, size_t N>
std::optional<T> ValueOf(const TIdent<T> (&table)[N], const QString& name)
{
    for (const auto& entry : table)
        if (name.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0)
            return entry.Value;
    return std::nullopt;
}

constexpr uint32_t MaxLength = 0x7FFFFFFF;

qsizetype IndexOfName(const QStringList& names, const QString& name)
{
    for (qsizetype i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
}  // namespace

std::optional<QString> ColorToIdent(TColor color) { return NameOf(ColorIdents, color); }
std::optional<TColor> IdentToColor(const QString& ident) { return ValueOf(ColorIdents, ident); }
std::optional<QString> CursorToIdent(int cursor) { return NameOf(CursorIdents, cursor); }
std::optional<int> IdentToCursor(const QString& ident) { return ValueOf(CursorIdents, ident); }
std::optional<QString> CharsetToIdent(uint8_t charset) { return NameOf(CharsetIdents, charset); }
std::optional<uint8_t> IdentToCharset(const QString& ident) { return ValueOf(CharsetIdents, ident); }

// Writing.

void TComponentWriter::WriteInteger(int32_t value)
{
    if (value >= -128 && value <= 127) {
        WriteValueType(TValueType::vaInt8);
        FData.append(static_cast<char>(value));
    } else if (value >= -32768 && value <= 32767) {
        WriteValueType(TValueType::vaInt16);
        const uint16_t v = static_cast<uint16_t>(value);
        FData.append(static_cast<char>(v & 0xFF)).append(static_cast<char>(v >> 8));
    } else {
        WriteValueType(TValueType::vaInt32);
        const uint32_t v = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            FData.append(static_cast<char>((v >> shift) & 0xFF));
    }
}

void TComponentWriter::WriteString(const QString& value)
{
    const QByteArray bytes = StringToAnsi(value);
    if (bytes.size() <= 255) {
        WriteValueType(TValueType::vaString);
        FData.append(static_cast<char>(bytes.size()));
    } else {
        WriteValueType(TValueType::vaLString);
        const uint32_t n = static_cast<uint32_t>(bytes.size());
        for (int shift = 0; shift < 32; shift += 8)
            FData.append(static_cast<char>((n >> shift) & 0xFF));
    }
    FData.append(bytes);
}

void TComponentWriter::WriteIdent(const QString& ident)
{
    if (ident.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        WriteValueType(TValueType::vaFalse);
    else if (ident.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        WriteValueType(TValueType::vaTrue);
    else if (ident.compare(QLatin1String("nil"), Qt::CaseInsensitive) == 0)
        WriteValueType(TValueType::vaNil);
    else {
        WriteValueType(TValueType::vaIdent);
        WriteShortString(ident.toLatin1());
    }
}

void TComponentWriter::WriteSet(uint32_t bits, const QStringList& names)
{
    WriteValueType(TValueType::vaSet);
    for (int i = 0; i < names.size() && i < 32; ++i)
        if (bits & (1u << i))
            WriteShortString(names[i].toLatin1());
    FData.append('\0');
}

void TComponentWriter::WriteBinary(const QByteArray& bytes)
{
    WriteValueType(TValueType::vaBinary);
    const uint32_t n = static_cast<uint32_t>(bytes.size());
    for (int shift = 0; shift < 32; shift += 8)
        FData.append(static_cast<char>((n >> shift) & 0xFF));
    FData.append(bytes);
}

void TComponentWriter::WriteColor(TColor color)
{
    if (const auto name = ColorToIdent(color))
        WriteIdent(*name);
    else
        WriteInteger(static_cast<int32_t>(color));
}

void TComponentWriter::WriteCursor(int cursor)
{
    if (const auto name = CursorToIdent(cursor))
        WriteIdent(*name);
    else
        WriteInteger(cursor);
}

void TComponentWriter::WriteCharset(uint8_t charset)
{
    if (const auto name = CharsetToIdent(charset))
        WriteIdent(*name);
    else
        WriteInteger(charset);
}

void TComponentWriter::WritePropName(const QString& name)
{
    WriteShortString(name.toLatin1());
}

void TComponentWriter::WriteShortString(const QByteArray& s)
{
    const QByteArray cut = s.left(255);
    FData.append(static_cast<char>(cut.size()));
    FData.append(cut);
}

void TComponentWriter::WriteComponentStart(const QString& className, const QString& name)
{
    FData.append(ComponentSignature, 4);
    WriteShortString(className.toLatin1());
    WriteShortString(name.toLatin1());
}

// Reading.

void TComponentReader::Fail(const char* what) const
{
    throw EComponentStreamError(std::string(what) + " at byte " + std::to_string(FPos));
}

const char* TComponentReader::Take(qsizetype count)
{
    if (count < 0 || count > FData.size() - FPos)
        Fail("Stream read error");
    const char* p = FData.constData() + FPos;
    FPos += count;
    return p;
}

uint32_t TComponentReader::TakeUInt32()
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(Take(4));
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

TValueType TComponentReader::PeekValueType() const
{
    if (FPos >= FData.size())
        Fail("Stream read error");
    return static_cast<TValueType>(static_cast<uint8_t>(FData.at(FPos)));
}

TValueType TComponentReader::ReadValueType()
{
    return static_cast<TValueType>(TakeByte());
}

bool TComponentReader::EndOfList()
{
    if (PeekValueType() != TValueType::vaNull)
        return false;
    ++FPos;
    return true;
}

void TComponentReader::ReadListEnd()
{
    if (ReadValueType() != TValueType::vaNull)
        Fail("Invalid property value");
}

void TComponentReader::EnterNesting()
{
    if (++FDepth > FMaxDepth) {
        --FDepth;
        Fail("Nesting too deep");
    }
}

int32_t TComponentReader::ReadInteger()
{
    switch (ReadValueType()) {
    case TValueType::vaInt8: return static_cast<int8_t>(TakeByte());
    case TValueType::vaInt16: {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(Take(2));
        return static_cast<int16_t>(p[0] | (p[1] << 8));
    }
    case TValueType::vaInt32: return static_cast<int32_t>(TakeUInt32());
    default: Fail("Invalid property value");
    }
}

bool TComponentReader::ReadBoolean()
{
    switch (ReadValueType()) {
    case TValueType::vaTrue: return true;
    case TValueType::vaFalse: return false;
    default: Fail("Invalid property value");
    }
}

QString TComponentReader::ReadString()
{
    switch (ReadValueType()) {
    case TValueType::vaString: {
        const uint8_t n = TakeByte();
        return AnsiToString(QByteArray(Take(n), n));
    }
    case TValueType::vaLString: {
        const uint32_t n = TakeUInt32();
        if (n > MaxLength)
            Fail("Stream read error");
        const char* p = Take(static_cast<qsizetype>(n));
        return AnsiToString(QByteArray(p, static_cast<qsizetype>(n)));
    }
    case TValueType::vaWString: {
        const uint32_t n = TakeUInt32();
        if (n > MaxLength / 2)
            Fail("Stream read error");
        const char* p = Take(static_cast<qsizetype>(n) * 2);
        QString s(static_cast<qsizetype>(n), Qt::Uninitialized);
        std::memcpy(s.data(), p, static_cast<size_t>(n) * 2);
        return s;
    }
    case TValueType::vaUTF8String: {
        const uint32_t n = TakeUInt32();
        if (n > MaxLength)
            Fail("Stream read error");
        const char* p = Take(static_cast<qsizetype>(n));
        return QString::fromUtf8(p, static_cast<qsizetype>(n));
    }
    default: Fail("Invalid property value");
    }
}

QString TComponentReader::ReadIdent()
{
    switch (ReadValueType()) {
    case TValueType::vaIdent: return QString::fromLatin1(ReadShortString());
    case TValueType::vaFalse: return QStringLiteral("False");
    case TValueType::vaTrue: return QStringLiteral("True");
    case TValueType::vaNil: return QStringLiteral("nil");
    default: Fail("Invalid property value");
    }
}

uint32_t TComponentReader::ReadSet(const QStringList& names)
{
    if (ReadValueType() != TValueType::vaSet)
        Fail("Invalid property value");
    uint32_t bits = 0;
    for (;;) {
        const QString name = QString::fromLatin1(ReadShortString());
        if (name.isEmpty())
            return bits;
        const qsizetype index = IndexOfName(names, name);
        if (index < 0 || index >= 32)
            Fail("Invalid property value");
        bits |= 1u << index;
    }
}

QByteArray TComponentReader::ReadBinary()
{
    if (ReadValueType() != TValueType::vaBinary)
        Fail("Invalid property value");
    const uint32_t n = TakeUInt32();
    if (n > MaxLength)
        Fail("Stream read error");
    const char* p = Take(static_cast<qsizetype>(n));
    return QByteArray(p, static_cast<qsizetype>(n));
}

TColor TComponentReader::ReadColor()
{
    const TValueType type = PeekValueType();
    if (type == TValueType::vaIdent) {
        const auto color = IdentToColor(ReadIdent());
        if (!color)
            Fail("Invalid property value");
        return *color;
    }
    return static_cast<TColor>(ReadInteger());
}

int TComponentReader::ReadCursor()
{
    if (PeekValueType() == TValueType::vaIdent) {
        const auto cursor = IdentToCursor(ReadIdent());
        if (!cursor)
            Fail("Invalid property value");
        return *cursor;
    }
    return ReadInteger();
}

uint8_t TComponentReader::ReadCharset()
{
    if (PeekValueType() == TValueType::vaIdent) {
        const auto charset = IdentToCharset(ReadIdent());
        if (!charset)
            Fail("Invalid property value");
        return *charset;
    }
    const int32_t value = ReadInteger();
    if (value < 0 || value > 255)
        Fail("Invalid property value");
    return static_cast<uint8_t>(value);
}

int TComponentReader::ReadEnum(const QStringList& names)
{
    const qsizetype index = IndexOfName(names, ReadIdent());
    if (index < 0)
        Fail("Invalid property value");
    return static_cast<int>(index);
}

QString TComponentReader::ReadPropName()
{
    return QString::fromLatin1(ReadShortString());
}

void TComponentReader::ReadComponentStart(QString& className, QString& name)
{
    if (std::memcmp(Take(4), ComponentSignature, 4) != 0)
        Fail("Invalid stream format");
    // Flags of inherited or positioned components: a byte $F0..$FF, and the
    // position as an integer when bit 2 is set.
    if (FPos < FData.size() && (static_cast<uint8_t>(FData.at(FPos)) & 0xF0) == 0xF0) {
        const uint8_t flags = TakeByte() & 0x0F;
        if (flags & 2)
            ReadInteger();
    }
    className = QString::fromLatin1(ReadShortString());
    name = QString::fromLatin1(ReadShortString());
    if (className.isEmpty())
        Fail("Invalid stream format");
}

void TComponentReader::ReadComponentEnd()
{
    // Owned components (flags, class name, name, properties, their own owned
    // ones) are skipped up to the end of the list.
    EnterNesting();
    while (!EndOfList()) {
        if ((static_cast<uint8_t>(FData.at(FPos)) & 0xF0) == 0xF0 && (TakeByte() & 2))
            ReadInteger();
        ReadShortString();
        ReadShortString();
        while (!EndOfList()) {
            ReadPropName();
            SkipValue();
        }
        ReadComponentEnd();
    }
    LeaveNesting();
}

QByteArray TComponentReader::ReadShortString()
{
    const uint8_t n = TakeByte();
    return QByteArray(Take(n), n);
}

void TComponentReader::SkipValue()
{
    switch (ReadValueType()) {
    case TValueType::vaNull:
    case TValueType::vaFalse:
    case TValueType::vaTrue:
    case TValueType::vaNil: return;
    case TValueType::vaList:
        EnterNesting();
        while (!EndOfList())
            SkipValue();
        LeaveNesting();
        return;
    case TValueType::vaInt8: Take(1); return;
    case TValueType::vaInt16: Take(2); return;
    case TValueType::vaInt32: Take(4); return;
    case TValueType::vaExtended: Take(10); return;
    case TValueType::vaString:
    case TValueType::vaIdent: Take(TakeByte()); return;
    case TValueType::vaBinary:
    case TValueType::vaLString:
    case TValueType::vaUTF8String: {
        const uint32_t n = TakeUInt32();
        if (n > MaxLength)
            Fail("Stream read error");
        Take(static_cast<qsizetype>(n));
        return;
    }
    case TValueType::vaWString: {
        const uint32_t n = TakeUInt32();
        if (n > MaxLength / 2)
            Fail("Stream read error");
        Take(static_cast<qsizetype>(n) * 2);
        return;
    }
    case TValueType::vaSet:
        while (!ReadShortString().isEmpty()) {
        }
        return;
    case TValueType::vaCollection:
        EnterNesting();
        while (!EndOfList()) {
            const TValueType item = PeekValueType();
            if (item == TValueType::vaInt8 || item == TValueType::vaInt16 || item == TValueType::vaInt32)
                ReadInteger();
            if (ReadValueType() != TValueType::vaList)
                Fail("Invalid property value");
            while (!EndOfList()) {
                ReadPropName();
                SkipValue();
            }
        }
        LeaveNesting();
        return;
    default:
        // Single (15), currency (16), date (17), int64 (19).
        --FPos;
        switch (TakeByte()) {
        case 15: Take(4); return;
        case 16:
        case 17:
        case 19: Take(8); return;
        default: Fail("Invalid property value");
        }
    }
}
