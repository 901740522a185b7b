#include "core/RDUnicode.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include <QtCore/QLocale>
#include <QtGui/QGuiApplication>
#include <QtGui/QInputMethod>

#include "AnsiText.h"
#include "core/RDError.h"

bool PlatformIsNT = true;
uint8_t VisibleSpecialCharacters = 0x0F;

void CheckEvenByteLength(qsizetype length)
{
    if (length % 2 != 0)
        throw ERichDocError("Can't perform Unicode operation");
}

int CharLength(const QByteArray& s, int flags)
{
    return static_cast<int>((flags & rdioUnicode) ? s.size() / 2 : s.size());
}

QByteArray CharCopy(const QByteArray& s, int index, int count, int flags)
{
    if (flags & rdioUnicode) {
        index = index * 2 - 1;
        count *= 2;
    }
    if (count <= 0)
        return {};
    if (index < 1)
        index = 1;
    if (index > s.size())
        return {};
    return s.mid(index - 1, count);
}

void CharDelete(QByteArray& s, int index, int count, int flags)
{
    if (flags & rdioUnicode) {
        index = index * 2 - 1;
        count *= 2;
    }
    if (index < 1 || index > s.size() || count <= 0)
        return;
    s.remove(index - 1, count);
}

void CharInsert(const QByteArray& sub, QByteArray& s, int index, int flags)
{
    if (flags & rdioUnicode)
        index = index * 2 - 1;
    if (index < 1)
        index = 1;
    if (index > s.size() + 1)
        index = static_cast<int>(s.size()) + 1;
    s.insert(index - 1, sub);
}

bool CharIsSpace(const QByteArray& s, int index, int flags)
{
    if (flags & rdioUnicode)
        return s.at(2 * index - 2) == ' ' && s.at(2 * index - 1) == 0;
    return s.at(index - 1) == ' ';
}

const char16_t* FindWideChar(const char16_t* p, char16_t ch, int count)
{
    for (int i = 0; i < count; ++i)
        if (p[i] == ch)
            return p + i;
    return nullptr;
}

namespace {
struct TCharsetRow {
    uint8_t Charset;
    TRDCodePage CodePage;
    int Language;
};
constexpr TCharsetRow CharsetTable[] = {
    {0, 1252, 1033},   {1, 0, 0},       {2, 0, 1024},      {77, 2, 1024},     {128, 932, 1041},
    {129, 949, 1042},  {130, 1361, 2066}, {134, 936, 2052}, {136, 950, 1028},  {161, 1253, 1032},
    {162, 1254, 1055}, {163, 1258, 1066}, {177, 1255, 1037}, {178, 1256, 0},   {186, 1257, 0},
    {204, 1251, 1049}, {222, 874, 1054}, {238, 1250, 0},    {255, 1, 1024},
};

const TCharsetRow* FindCharset(uint8_t charset)
{
    for (const TCharsetRow& row : CharsetTable)
        if (row.Charset == charset)
            return &row;
    return nullptr;
}
}  // namespace

TRDCodePage CodePageOfCharset(uint8_t charset)
{
    const TCharsetRow* row = FindCharset(charset);
    return row ? row->CodePage : 0;
}

int LanguageOfCharset(uint8_t charset)
{
    const TCharsetRow* row = FindCharset(charset);
    return row ? row->Language : 1024;
}

uint32_t LocaleOfLanguage(int language)
{
    return (static_cast<uint32_t>(language) & 0xFFFF) | 0x400;
}

QString RawToWideString(const QByteArray& s)
{
    CheckEvenByteLength(s.size());
    QString w(s.size() / 2, Qt::Uninitialized);
    std::memcpy(w.data(), s.constData(), static_cast<size_t>(s.size()));
    return w;
}

QByteArray WideStringToRaw(const QString& w)
{
    return QByteArray(reinterpret_cast<const char*>(w.utf16()), w.size() * 2);
}

void SwapUnicodeBytes(char16_t* p, int count)
{
    for (int i = 0; i < count; ++i)
        p[i] = static_cast<char16_t>((p[i] >> 8) | (p[i] << 8));
}

void SkipUnicodeBOM(char16_t*& p, int count)
{
    if (count <= 0)
        return;
    if (p[0] == 0xFEFF) {
        ++p;
    } else if (p[0] == 0xFFFE) {
        ++p;
        SwapUnicodeBytes(p, count - 1);
    }
}

namespace {
// The iconv name of a Windows code page; nullptr for the system code page
// (GBK through the platform's tables) and for unknown ones, which are taken
// as the system code page too.
const char* IconvName(TRDCodePage codePage)
{
    switch (codePage) {
    case 2: return "MACINTOSH";
    case 874: return "CP874";
    case 932: return "CP932";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1361: return "JOHAB";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    default: return nullptr;
    }
}

bool IsDoubleByteCodePage(TRDCodePage codePage)
{
    return IconvName(codePage) == nullptr || codePage == 932 || codePage == 949 || codePage == 950
           || codePage == 1361;
}

// One code page's converters of one thread, opened on first use.
class TCodePageConverter {
public:
    explicit TCodePageConverter(const char* name)
    {
        FToWide = iconv_open("UTF-16LE", name);
        FToAnsi = iconv_open(name, "UTF-16LE");
    }
    ~TCodePageConverter()
    {
        if (FToWide != Invalid())
            iconv_close(FToWide);
        if (FToAnsi != Invalid())
            iconv_close(FToAnsi);
    }
    TCodePageConverter(const TCodePageConverter&) = delete;
    TCodePageConverter& operator=(const TCodePageConverter&) = delete;

    bool Valid() const { return FToWide != Invalid() && FToAnsi != Invalid(); }

    // A unit or byte that does not convert becomes "?": step is how far the
    // input moves past it (1 byte; 2 for a UTF-16 unit, 4 for a surrogate pair).
    QByteArray ToWide(const QByteArray& in) { return Run(FToWide, in, false); }
    QByteArray ToAnsi(const QByteArray& in) { return Run(FToAnsi, in, true); }

private:
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }

    static QByteArray Run(iconv_t cd, const QByteArray& in, bool fromWide)
    {
        QByteArray out;
        out.resize(in.size() * 2 + 16);
        char* src = const_cast<char*>(in.constData());
        size_t srcLeft = static_cast<size_t>(in.size());
        char* dst = out.data();
        size_t dstLeft = static_cast<size_t>(out.size());
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        auto grow = [&](size_t need) {
            if (dstLeft >= need)
                return;
            const qsizetype used = dst - out.data();
            out.resize(out.size() * 2 + static_cast<qsizetype>(need));
            dst = out.data() + used;
            dstLeft = static_cast<size_t>(out.size() - used);
        };
        while (srcLeft > 0) {
            if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG) {
                grow(64);
                continue;
            }
            size_t step = 1;
            if (fromWide) {
                step = 2;
                const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(src[0])
                                                            | (static_cast<unsigned char>(src[1]) << 8));
                if (QChar::isHighSurrogate(unit) && srcLeft >= 4)
                    step = 4;
            }
            step = std::min(step, srcLeft);
            src += step;
            srcLeft -= step;
            grow(2);
            *dst++ = '?';
            --dstLeft;
            if (!fromWide) {
                *dst++ = 0;
                --dstLeft;
            }
        }
        grow(16);
        iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        out.resize(dst - out.data());
        return out;
    }

    iconv_t FToWide;
    iconv_t FToAnsi;
};

// The thread's converter of a code page; nullptr for the system code page.
TCodePageConverter* ConverterOf(TRDCodePage codePage)
{
    const char* name = IconvName(codePage);
    if (!name)
        return nullptr;
    thread_local std::map<TRDCodePage, std::unique_ptr<TCodePageConverter>> converters;
    auto it = converters.find(codePage);
    if (it == converters.end())
        it = converters.emplace(codePage, std::make_unique<TCodePageConverter>(name)).first;
    return it->second->Valid() ? it->second.get() : nullptr;
}

QStringView WideView(const QByteArray& s, QString& aligned)
{
    const qsizetype units = s.size() / 2;
    if (reinterpret_cast<uintptr_t>(s.constData()) % alignof(char16_t) == 0)
        return QStringView(reinterpret_cast<const char16_t*>(s.constData()), units);
    aligned = QString(units, Qt::Uninitialized);
    std::memcpy(aligned.data(), s.constData(), static_cast<size_t>(units) * 2);
    return aligned;
}
}  // namespace

QString AnsiToQString(TRDCodePage codePage, const QByteArray& s)
{
    if (s.isEmpty())
        return {};
    if (TCodePageConverter* converter = ConverterOf(codePage))
        return RawToWideString(converter->ToWide(s));
    // The text forms of GBK items keep every byte, so that text read out and
    // written back, and positions counted through it, keep bytes that are no
    // character.
    return AnsiToStringKeepingBytes(s);
}

QByteArray AnsiToUtf16(TRDCodePage codePage, const QByteArray& s)
{
    if (s.isEmpty())
        return {};
    if (TCodePageConverter* converter = ConverterOf(codePage))
        return converter->ToWide(s);
    return WideStringToRaw(AnsiToString(s));
}

QByteArray AnsiToUtf8(TRDCodePage codePage, const QByteArray& s)
{
    if (s.isEmpty())
        return {};
    return RawToWideString(AnsiToUtf16(codePage, s)).toUtf8();
}

QByteArray QStringToAnsi(TRDCodePage codePage, const QString& s)
{
    if (s.isEmpty())
        return {};
    if (TCodePageConverter* converter = ConverterOf(codePage))
        return converter->ToAnsi(WideStringToRaw(s));
    return StringToAnsiKeepingBytes(s);
}

QByteArray Utf16ToAnsi(TRDCodePage codePage, const QByteArray& s)
{
    if (s.isEmpty())
        return {};
    CheckEvenByteLength(s.size());
    if (TCodePageConverter* converter = ConverterOf(codePage))
        return converter->ToAnsi(s);
    QString aligned;
    QByteArray out;
    AppendAnsi(out, WideView(s, aligned));
    return out;
}

bool CanConvertToCodePage(TRDCodePage, const QByteArray&)
{
    return false;
}

namespace {
// Upper case of every byte of a single-byte code page, made once per thread.
const std::array<unsigned char, 256>& SingleByteUpperTable(TRDCodePage codePage)
{
    thread_local std::map<TRDCodePage, std::array<unsigned char, 256>> tables;
    auto it = tables.find(codePage);
    if (it != tables.end())
        return it->second;
    std::array<unsigned char, 256> table{};
    for (int b = 0; b < 256; ++b) {
        table[static_cast<size_t>(b)] = static_cast<unsigned char>(b);
        if (b < 0x80) {
            if (b >= 'a' && b <= 'z')
                table[static_cast<size_t>(b)] = static_cast<unsigned char>(b - 32);
            continue;
        }
        const QString wide = AnsiToQString(codePage, QByteArray(1, static_cast<char>(b)));
        if (wide.size() != 1 || wide == QLatin1String("?"))
            continue;
        const QString upper = QString(wide.at(0).toUpper());
        const QByteArray back = QStringToAnsi(codePage, upper);
        if (back.size() == 1 && back != "?")
            table[static_cast<size_t>(b)] = static_cast<unsigned char>(back.at(0));
    }
    return tables.emplace(codePage, table).first->second;
}

bool IsLeadByte(TRDCodePage codePage, unsigned char b)
{
    switch (codePage) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 1361: return (b >= 0x84 && b <= 0xD3) || (b >= 0xD8 && b <= 0xF9);
    default: return b >= 0x81 && b <= 0xFE;
    }
}
}  // namespace

QByteArray AnsiUpperCase(TRDCodePage codePage, const QByteArray& s)
{
    QByteArray result = s;
    if (IsDoubleByteCodePage(codePage)) {
        // ASCII letters only; a lead byte takes its trail byte along.
        for (qsizetype i = 0; i < result.size(); ++i) {
            const unsigned char b = static_cast<unsigned char>(result.at(i));
            if (b >= 'a' && b <= 'z')
                result[i] = static_cast<char>(b - 32);
            else if (b >= 0x80 && IsLeadByte(codePage, b))
                ++i;
        }
        return result;
    }
    const auto& table = SingleByteUpperTable(codePage);
    for (qsizetype i = 0; i < result.size(); ++i)
        result[i] = static_cast<char>(table[static_cast<unsigned char>(result.at(i))]);
    return result;
}

QByteArray Utf16UpperCase(const QByteArray& s)
{
    QByteArray result = s;
    for (qsizetype i = 0; i + 1 < result.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(result.at(i))
                                                    | (static_cast<unsigned char>(result.at(i + 1)) << 8));
        if (QChar::isSurrogate(unit))
            continue;
        const char16_t upper = QChar(unit).toUpper().unicode();
        result[i] = static_cast<char>(upper & 0xFF);
        result[i + 1] = static_cast<char>(upper >> 8);
    }
    return result;
}

namespace {
struct TKeyboardLocale {
    TRDCodePage CodePage;
    int Language;
};

TKeyboardLocale KeyboardLocale()
{
    QLocale locale;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        if (QInputMethod* method = QGuiApplication::inputMethod())
            locale = method->locale();
    switch (locale.language()) {
    case QLocale::Chinese:
        if (locale.territory() == QLocale::Taiwan || locale.territory() == QLocale::HongKong
            || locale.territory() == QLocale::Macao)
            return {950, 1028};
        return {936, 2052};
    case QLocale::English: return {1252, 1033};
    case QLocale::Japanese: return {932, 1041};
    case QLocale::Korean: return {949, 1042};
    case QLocale::Russian: return {1251, 1049};
    case QLocale::Greek: return {1253, 1032};
    case QLocale::Turkish: return {1254, 1055};
    case QLocale::Hebrew: return {1255, 1037};
    case QLocale::Thai: return {874, 1054};
    case QLocale::Vietnamese: return {1258, 1066};
    case QLocale::German: return {1252, 1031};
    case QLocale::French: return {1252, 1036};
    default: return {936, 2052};
    }
}
}  // namespace

TRDCodePage KeyboardCodePage()
{
    return KeyboardLocale().CodePage;
}

int KeyboardLanguage()
{
    return KeyboardLocale().Language;
}

QByteArray KeyboardAnsiToUtf16(const QByteArray& s)
{
    return AnsiToUtf16(KeyboardCodePage(), s);
}
