#include "PcreRegEx.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace {

// Patterns and subjects are handed to the library as UTF-8.
constexpr quint32 BaseCompileFlags = PCRE2_UTF;

QString ErrorText(int code)
{
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(code, buffer, sizeof buffer);
    if (length < 0)
        return QStringLiteral("error %1").arg(code);
    return QString::fromUtf8(reinterpret_cast<const char*>(buffer), length);
}

}  // namespace

TPcreRegEx::TPcreRegEx(QObject* owner) : QObject(owner), FCompileFlags(BaseCompileFlags)
{
    FTables = pcre2_maketables(nullptr);
}

TPcreRegEx::~TPcreRegEx()
{
    DropCompiled();
    if (FTables)
        pcre2_maketables_free(nullptr, FTables);
}

void TPcreRegEx::SetOptions(TPcreRegExOptions value)
{
    if (value == FOptions)
        return;
    FOptions = value;
    quint32 flags = BaseCompileFlags;
    if (value.testFlag(preCaseLess))
        flags |= PCRE2_CASELESS;
    if (value.testFlag(preMultiLine))
        flags |= PCRE2_MULTILINE;
    if (value.testFlag(preSingleLine))
        flags |= PCRE2_DOTALL;
    if (value.testFlag(preExtended))
        flags |= PCRE2_EXTENDED;
    if (value.testFlag(preAnchored))
        flags |= PCRE2_ANCHORED;
    if (value.testFlag(preUnGreedy))
        flags |= PCRE2_UNGREEDY;
    if (value.testFlag(preNoAutoCapture))
        flags |= PCRE2_NO_AUTO_CAPTURE;
    FCompileFlags = flags;
    DropCompiled();
}

void TPcreRegEx::SetRegEx(const QString& value)
{
    if (value == FRegEx)
        return;
    FRegEx = value;
    DropCompiled();
}

void TPcreRegEx::SetSubject(const QString& value)
{
    FSubject = value;
    FSubjectUtf8 = value.toUtf8();
    FCharOfByte.clear();
    FCharOfByte.reserve(FSubjectUtf8.size());
    int character = 0;
    for (qsizetype b = 0; b < FSubjectUtf8.size();) {
        const auto lead = static_cast<unsigned char>(FSubjectUtf8.at(b));
        const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 4;
        for (int k = 0; k < length; ++k)
            FCharOfByte.append(character);
        b += length;
        character += length == 4 ? 2 : 1;  // four bytes stand for a surrogate pair
    }
    FStart = 1;
    FGroupCount = 0;
    FOffsets.clear();
}

void TPcreRegEx::Compile()
{
    if (FRegEx.isEmpty())
        throw EPcreError(QStringLiteral("TPcreRegEx.Compile() - Please specify a regular expression in RegEx first"));
    DropCompiled();
    const QByteArray pattern = FRegEx.toUtf8();
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (!context)
        throw EPcreError(QStringLiteral("TPcreRegEx.Compile() - Error in regex at offset 0: %1")
                             .arg(ErrorText(PCRE2_ERROR_NOMEMORY)));
    pcre2_set_character_tables(context, FTables);
    pcre2_set_newline(context, PCRE2_NEWLINE_ANY);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    FCode = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.constData()), static_cast<PCRE2_SIZE>(pattern.size()),
                          FCompileFlags, &errorCode, &errorOffset, context);
    pcre2_compile_context_free(context);
    if (!FCode) {
        // The library counts bytes of UTF-8; the message counts characters.
        const auto offset = QString::fromUtf8(pattern.left(static_cast<qsizetype>(errorOffset))).size();
        throw EPcreError(QStringLiteral("TPcreRegEx.Compile() - Error in regex at offset %1: %2")
                             .arg(offset)
                             .arg(ErrorText(errorCode)));
    }
}

bool TPcreRegEx::Match()
{
    FOffsets.clear();
    FGroupCount = 0;
    if (!FCode)
        Compile();
    pcre2_match_data* data = pcre2_match_data_create(MaxGroups + 1, nullptr);
    if (!data)
        return false;
    quint32 runFlags = 0;
    if (FState.testFlag(pmsNotBOL))
        runFlags |= PCRE2_NOTBOL;
    if (FState.testFlag(pmsNotEOL))
        runFlags |= PCRE2_NOTEOL;
    if (FState.testFlag(pmsNotEmpty))
        runFlags |= PCRE2_NOTEMPTY;
    int count = pcre2_match(FCode, reinterpret_cast<PCRE2_SPTR>(FSubjectUtf8.constData()),
                            static_cast<PCRE2_SIZE>(FSubjectUtf8.size()), 0, runFlags, data, nullptr);
    if (count == 0)  // more groups took part than are reported: the match stands
        count = MaxGroups + 1;
    if (count > 0) {
        const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data);
        for (int i = 0; i < 2 * count; ++i)
            FOffsets.append(vector[i] == PCRE2_UNSET ? 0 : CharIndexOfByte(static_cast<qsizetype>(vector[i])) + 1);
        FGroupCount = count;
        FStart = FOffsets.at(1);
        if (FOffsets.at(1) == FOffsets.at(0))
            ++FStart;
    }
    pcre2_match_data_free(data);
    if (count <= 0)
        return false;
    if (OnMatch)
        OnMatch();
    return true;
}

int TPcreRegEx::GroupStart(int index) const
{
    return index >= 0 && index < FGroupCount ? FOffsets.at(2 * index) : 0;
}

int TPcreRegEx::GroupEnd(int index) const
{
    return index >= 0 && index < FGroupCount ? FOffsets.at(2 * index + 1) : 0;
}

QString TPcreRegEx::Group(int index) const
{
    const int start = GroupStart(index);
    if (start <= 0)
        return {};
    return FSubject.mid(start - 1, GroupEnd(index) - start);
}

void TPcreRegEx::DropCompiled()
{
    if (FCode) {
        pcre2_code_free(FCode);
        FCode = nullptr;
    }
}

int TPcreRegEx::CharIndexOfByte(qsizetype byteOffset) const
{
    if (byteOffset < FCharOfByte.size())
        return FCharOfByte.at(byteOffset);
    return static_cast<int>(FSubject.size());
}
