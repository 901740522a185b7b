#include "interchange/RDRTF.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

#include <filesystem>
#include <stdexcept>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QIODevice>

#include "Pictures.h"
#include "core/RDGraphUtils.h"
#include "core/RDMarkup.h"

namespace {

constexpr int RTFBlockSize = 4096;
constexpr int64_t RTFProgressThreshold = 20480;
// Letters kept of a control word; a longer one is unknown anyway.
constexpr int RTFMaxKeywordLength = 64;

bool RTFIsLetter(uint8_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int RTFHexValue(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Surrogate pairs stay; a surrogate without its partner becomes U+FFFD.
QString RTFRepairSurrogates(const QString& text)
{
    QString result = text;
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result.at(i);
        if (c.isHighSurrogate() && i + 1 < result.size() && result.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            result[i] = QChar(0xFFFD);
    }
    return result;
}

}  // namespace

void TRDRTFReaderState::Assign(const TRDRTFReaderState& source)
{
    const QByteArray bookmark = BookmarkName;
    *this = source;
    BookmarkName = bookmark;
}

TRDRTFReader::TRDRTFReader()
{
    SortRTFKeywordsOnce();
}

TRDRTFReader::~TRDRTFReader() = default;

void TRDRTFReader::Reset()
{
    SortRTFKeywordsOnce();
    const TRDRTFHighlight highlight = Tables.ConvertHighlight;
    Tables = TRDRTFDocTables();
    Tables.ConvertHighlight = highlight;
    FSaved.clear();
    State = TRDRTFReaderState();
    FPendingAnsi.clear();
    FPendingUnicode.clear();
    FPendingPosition = rtf_ts_NewPara;
    FPushedBack = false;
    CodePage = DefCodePage;
    FUnicodeSkip = 1;
    FSkipCount = 0;
    FDepth = 0;
    TableLevel = 0;
    FHiddenChanging = false;
    FSkipDestMark = false;
    FBinCount = 0;
    FHexNibbles = 0;
    FHexByte = 0;
    FPicture.reset();
    FObject.reset();
    FShpPictInserted = false;
    FObjectInserted = false;
    FIncludedPictureDone = false;
    FIncludedGraphic.reset();
    if (PixelsPerInch == 0)
        PixelsPerInch = GetScreenPixelsPerInch();
}

uint8_t TRDRTFReader::Read(QIODevice& stream)
{
    FStream = &stream;
    FSize = stream.isSequential() ? stream.bytesAvailable() : stream.size();
    Reset();
    FBuffer.clear();
    FBufPos = 0;
    FReportProgress = FSize > RTFProgressThreshold && static_cast<bool>(OnProgress);
    uint8_t result = rtf_ec_OK;
    try {
        if (FReportProgress)
            OnProgress(*this, rdprtfprStarting, 0);
        result = Parse();
    } catch (...) {
        result = rtf_ec_Exception;
    }
    if (FReportProgress) {
        try {
            OnProgress(*this, rdprtfprEnding, 0);
        } catch (...) {
            if (result == rtf_ec_OK)
                result = rtf_ec_Exception;
        }
    }
    FStream = nullptr;
    return result;
}

bool TRDRTFReader::GetChar(uint8_t& c)
{
    if (FPushedBack) {
        FPushedBack = false;
        c = FLastChar;
        return true;
    }
    if (FBufPos >= FBuffer.size() && !Refill())
        return false;
    c = static_cast<uint8_t>(FBuffer.at(FBufPos++));
    FLastChar = c;
    return true;
}

bool TRDRTFReader::Refill()
{
    {
        if (FReportProgress && FSize > 0) {
            // 64 bits: the product overflows 32 bits past 21 MB.
            const int64_t percent = std::clamp<int64_t>(FStream->pos() * 100 / FSize, 0, 100);
            OnProgress(*this, rdprtfprRunning, static_cast<uint8_t>(percent));
        }
        FBuffer = FStream->read(RTFBlockSize);
        FBufPos = 0;
        return !FBuffer.isEmpty();
    }
}

bool TRDRTFReader::AtEnd() const
{
    return !FPushedBack && FBufPos >= FBuffer.size() && FStream->atEnd();
}

uint8_t TRDRTFReader::Parse()
{
    uint8_t code = rtf_ec_OK;
    uint8_t c = 0;
    bool closed = false;
    while (!closed && !AtEnd()) {
        if (!GetChar(c))
            break;
        if (FDepth < 0)
            return rtf_ec_StackUnderflow;
        if (State.InputMode == rim_Binary) {
            code = ReadBinary(c);
        } else if (c == '{') {
            FSkipCount = 0;
            code = PushGroup();
        } else if (c == '}') {
            FSkipCount = 0;
            code = PopGroup();
            closed = code == rtf_ec_OK && FDepth == 0;
        } else if (c == '\\') {
            code = ParseKeyword();
        } else if (c == 13 || c == 10) {
            continue;
        } else if (State.InputMode == rim_Normal) {
            if (FSkipCount > 0)
                --FSkipCount;
            else
                code = PutChar(c);
        } else {
            const int v = RTFHexValue(c);
            if (v < 0)
                return rtf_ec_InvalidHex;
            FHexByte = static_cast<uint8_t>((FHexByte << 4) | v);
            if (++FHexNibbles == 2) {
                State.InputMode = rim_Normal;
                FHexNibbles = 0;
                if (FSkipCount > 0)
                    --FSkipCount;
                else
                    code = PutChar(FHexByte);
            }
        }
        if (code != rtf_ec_OK)
            return code;
    }
    for (int level = TableLevel; level > 0; --level)
        DoTable(rdf_tbl_TableForcedEnd);
    Tables.Colors.RemoveUnfinished();
    if (FDepth < 0)
        return rtf_ec_StackUnderflow;
    if (FDepth > 0)
        return rtf_ec_UnmatchedBrace;
    if (!FPendingAnsi.isEmpty())
        return PutTextChar(0, true, true);
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::ParseKeyword()
{
    if (AtEnd())
        return rtf_ec_EndOfFile;
    uint8_t c = 0;
    if (!GetChar(c))
        return rtf_ec_EndOfFile;
    if (!RTFIsLetter(c))
        return DoKeyword(QByteArray(1, static_cast<char>(c)), 0, false);

    QByteArray keyword(1, static_cast<char>(c));
    bool more = false;
    while (GetChar(c)) {
        if (!RTFIsLetter(c)) {
            more = true;
            break;
        }
        if (keyword.size() < RTFMaxKeywordLength)
            keyword.append(static_cast<char>(c));
        else
            keyword[RTFMaxKeywordLength - 1] = '?';  // never a known word
    }
    if (!more)
        return DoKeyword(keyword, 0, false);

    bool negative = false;
    if (c == '-') {
        negative = true;
        if (!GetChar(c))
            return DoKeyword(keyword, 0, false);
    }
    bool hasParam = false;
    bool overflow = false;
    int64_t value = 0;
    more = true;
    while (c >= '0' && c <= '9') {
        hasParam = true;
        if (!overflow) {
            value = value * 10 + (c - '0');
            overflow = value > int64_t(INT_MAX) + 1;
        }
        if (!GetChar(c)) {
            more = false;
            break;
        }
    }
    if (more && c != ' ')
        UngetChar();
    if (negative)
        value = -value;
    if (overflow || value > INT_MAX || value < INT_MIN)
        value = 0;
    return DoKeyword(keyword, hasParam ? static_cast<int32_t>(value) : 0, hasParam);
}

uint8_t TRDRTFReader::DoKeyword(const QByteArray& keyword, int32_t param, bool hasParam)
{
    const int index = FindRTFKeyword(std::string_view(keyword.constData(), static_cast<size_t>(keyword.size())));
    const bool skipMark = FSkipDestMark;
    FSkipDestMark = false;
    if (index < 0) {
        if (skipMark)
            State.Destination = rds_Skip;
        return rtf_ec_OK;
    }
    const TRDRTFsymbol& sym = RTFKeyword(index);
    switch (sym.Kind) {
    case rtf_kwd_Char:
        if (FSkipCount > 0) {
            --FSkipCount;
            return rtf_ec_OK;
        }
        return PutChar(static_cast<uint8_t>(sym.Target));
    case rtf_kwd_WideChar:
        if (FSkipCount > 0) {
            --FSkipCount;
            return rtf_ec_OK;
        }
        if (State.Destination == rds_Norm && OnNewUnicodeText)
            return PutUnicodeChar(static_cast<char16_t>(sym.DefValue));
        return PutChar(static_cast<uint8_t>(sym.Target));
    case rtf_kwd_Dest:
        return ChangeDestination(static_cast<TRDRTFDestination>(sym.Target));
    case rtf_kwd_Prop: {
        const int32_t value = (sym.UseDef || !hasParam) ? sym.DefValue : param;
        if (State.Destination == rds_Norm && sym.Affects == rtf_af_CharProp) {
            if (const uint8_t code = PutTextChar(0, false, true))
                return code;
        }
        return SetProperty(static_cast<TRDRTFPropertyId>(sym.Target), value);
    }
    case rtf_kwd_Spec:
        if (sym.Target == rtf_spec_Bin) {
            // A count of 0 or less would never run out: no binary mode.
            if (hasParam && param > 0) {
                FBinCount = param;
                State.InputMode = rim_Binary;
            }
            return rtf_ec_OK;
        }
        if (State.Destination == rds_Skip)
            return rtf_ec_OK;
        if (sym.Target == rtf_spec_Hex) {
            State.InputMode = rim_Hex;
            FHexNibbles = 0;
            FHexByte = 0;
        } else {
            FSkipDestMark = true;
        }
        return rtf_ec_OK;
    }
    return rtf_ec_BadTable;
}

uint8_t TRDRTFReader::PushGroup()
{
    if (FDepth >= RTFMaxGroupDepth)
        return rtf_ec_StackOverflow;
    FSaved.push_back(std::make_unique<TRDRTFReaderState>(State));
    State.InputMode = rim_Normal;
    ++FDepth;
    if (State.Destination == rds_StyleSheet) {
        Tables.StyleSheet.AddEntry();
        State.Destination = rds_StyleSheetEntry;
    }
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::PopGroup()
{
    if (FSaved.empty()) {
        FDepth = -1;
        return rtf_ec_StackUnderflow;
    }
    TRDRTFReaderState& saved = *FSaved.back();
    if (FSaved.size() == 1 && OnEndParsing)
        OnEndParsing(*this);
    const TRDRTFDestState closing = State.Destination;
    if (closing == rds_StyleSheetEntry && saved.Destination == rds_StyleSheet
        && !Tables.StyleSheet.Entries.empty()) {
        auto& entry = Tables.StyleSheet.Entries.back();
        entry.Char = State.Format.Char;
        entry.Para = State.Format.Para;
    }
    if (closing == rds_FldInst) {
        // Inner groups of an instruction ("{\\fldinst {\\i SEQ} x}") add to it too.
        FEnclosingInstruction = saved.FieldInstruction;
        saved.FieldInstruction = State.FieldInstruction;
        saved.SkipFieldResult = State.SkipFieldResult;
    }
    if (closing == rds_Norm) {
        if (const uint8_t code = PutTextChar(0, false, false))
            return code;
    }
    if (closing != saved.Destination) {
        if (const uint8_t code = EndDestination(closing))
            return code;
    }
    State.Assign(saved);
    FSaved.pop_back();
    --FDepth;
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::ChangeDestination(TRDRTFDestination dest)
{
    if (State.Destination == rds_Skip)
        return rtf_ec_OK;
    switch (dest) {
    case rdsFontTable:
        Tables.Fonts.Clear();
        State.Destination = rds_FontTable;
        break;
    case rdsColorTable:
        Tables.Colors.Start();
        State.Destination = rds_ColorTable;
        break;
    case rdsStyleSheet:
        Tables.StyleSheet.Entries.clear();
        State.Destination = rds_StyleSheet;
        break;
    case rdsBmkStart:
        if (const uint8_t code = PutTextChar(0, true, true))
            return code;
        State.BookmarkName.clear();
        State.Destination = rds_BmkStart;
        break;
    case rdsField:
        if (const uint8_t code = PutTextChar(0, true, true))
            return code;
        State.Destination = rds_Field;
        break;
    case rdsFldInst:
        if (State.Destination == rds_Field) {
            State.FieldInstruction.clear();
            State.SkipFieldResult = false;
            FIncludedPictureDone = false;
            FIncludedGraphic.reset();
            State.Destination = rds_FldInst;
        }
        break;
    case rdsFldRslt:
        if (State.SkipFieldResult) {
            State.SkipFieldResult = false;
            State.Destination = rds_Skip;
        } else {
            State.Destination = rds_Norm;
        }
        break;
    case rdsNestTableProps:
        State.Destination = rds_Norm;
        break;
    case rdsPict:
        if (FPicture)
            return rtf_ec_InvalidPicture;
        if (OnNewPicture) {
            FPicture = std::make_unique<TRDRTFPicture>();
            FPicture->FromShape = State.Destination == rds_ShpPict;
        }
        State.Destination = rds_Picture;
        FHexNibbles = 0;
        break;
    case rdsShpPict:
        State.Destination = rds_ShpPict;
        break;
    case rdsNonShpPict:
        State.Destination = FShpPictInserted ? rds_Skip : rds_Norm;
        break;
    case rdsObject:
        if (OnNewObject) {
            FObject = std::make_unique<TRDRTFObject>();
            State.Destination = rds_Object;
        } else {
            State.Destination = rds_Norm;
        }
        break;
    case rdsObjData:
        if (State.Destination == rds_Object && FObject) {
            State.Destination = rds_ObjData;
            FObjectInserted = false;
            FObjHexHigh = true;
            FObjHexByte = 0;
        } else {
            State.Destination = rds_Skip;
        }
        break;
    case rdsObjResult:
        State.Destination = FObjectInserted ? rds_Skip : rds_Norm;
        break;
    default:
        // Pictures, notes, headers and footers, numbering and lists are
        // not read yet: their groups are skipped.
        State.Destination = rds_Skip;
        break;
    }
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::EndDestination(TRDRTFDestState closing)
{
    switch (closing) {
    case rds_FontTable:
        Tables.Fonts.FinishTable();
        break;
    case rds_BmkStart:
        if (OnBookmarkStart)
            OnBookmarkStart(*this, State.BookmarkName);
        State.BookmarkName.clear();
        break;
    case rds_Field:
        return EndField();
    case rds_FldInst:
        return EndFieldInstruction();
    case rds_Picture:
        return EndPicture();
    case rds_Object:
        FObject.reset();
        break;
    case rds_ObjData:
        return EndObjectData();
    default:
        break;
    }
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::SetProperty(TRDRTFPropertyId id, int32_t value)
{
    const TRDRTFDestState dest = State.Destination;
    switch (id) {
    case ipropUnicodeSkip:
        FUnicodeSkip = RTFUnicodeSkipCount(value);
        return rtf_ec_OK;
    case ipropUnicode: {
        const auto unit = static_cast<char16_t>(static_cast<uint32_t>(value) & 0xFFFF);
        if (dest == rds_Norm) {
            if (!OnNewUnicodeText)
                return rtf_ec_OK;
            FSkipCount = FUnicodeSkip;
            return PutUnicodeChar(unit);
        }
        if (dest == rds_Skip || FUnicodeSkip <= 0)
            return rtf_ec_OK;
        FSkipCount = FUnicodeSkip;
        const QByteArray bytes = QStringToAnsi(CodePage, QString(QChar(unit)));
        for (char b : bytes)
            if (const uint8_t code = PutChar(static_cast<uint8_t>(b)))
                return code;
        return rtf_ec_OK;
    }
    case ipropPicW: case ipropPicH: case ipropPicScaleX: case ipropPicScaleY: case ipropPicWGoal:
    case ipropPicHGoal: case ipropWBMWidthBytes: case ipropWBMBitsPixel: case ipropWBMPlanes: case ipropPicType:
    case ipropMetafile: case ipropPicBmp:
        if (TRDRTFPicture* pic = FPicture.get()) {
            switch (id) {
            case ipropPicW: pic->SourceWidth = value; break;
            case ipropPicH: pic->SourceHeight = value; break;
            case ipropPicScaleX: pic->ScaleX = value; break;
            case ipropPicScaleY: pic->ScaleY = value; break;
            case ipropPicWGoal: pic->GoalWidth = value; break;
            case ipropPicHGoal: pic->GoalHeight = value; break;
            case ipropWBMWidthBytes: pic->RowBytes = value; break;
            case ipropWBMBitsPixel: pic->BitsPerPixel = value; break;
            case ipropWBMPlanes: pic->PlaneCount = value; break;
            case ipropPicBmp: pic->HasBitmap = true; break;
            case ipropMetafile:
                pic->PictKind = 5;
                pic->MapMode = value >= 2 && value <= 8 ? value : 1;
                break;
            default:
                pic->PictKind = value;
                if (value == 6)  // room for the bitmap file header
                    pic->WritePos = 14;
                break;
            }
        }
        return rtf_ec_OK;
    case ipropObjType:
    case ipropObjWidth:
    case ipropObjHeight:
        if (FObject) {
            if (id == ipropObjType)
                FObject->ObjKind = value;
            else if (id == ipropObjWidth)
                FObject->ObjWidth = value;
            else
                FObject->ObjHeight = value;
        }
        return rtf_ec_OK;
    case ipropAnsiCodePage:
        CodePage = static_cast<TRDCodePage>(std::max(value, 0));
        return rtf_ec_OK;
    case ipropDefFont:
        Tables.DefFontNumber = value;
        return rtf_ec_OK;
    case ipropDefLanguage:
        Tables.DefLanguage = value;
        return rtf_ec_OK;
    case ipropFont:
        if (dest == rds_FontTable) {
            Tables.Fonts.AddFont(value);
            return rtf_ec_OK;
        }
        break;
    case ipropFontCharset:
        if (dest == rds_FontTable)
            Tables.Fonts.SetCharset(value);
        return rtf_ec_OK;
    case ipropFontFamily:
        if (dest == rds_FontTable)
            Tables.Fonts.SetFamily(value);
        return rtf_ec_OK;
    case ipropRed:
    case ipropGreen:
    case ipropBlue:
        if (dest == rds_ColorTable)
            Tables.Colors.SetComponent(id, value);
        return rtf_ec_OK;
    case ipropStyleNo:
    case ipropCharStyleNo:
    case ipropSectStyleNo:
        if (dest == rds_StyleSheetEntry && !Tables.StyleSheet.Entries.empty()) {
            auto& entry = Tables.StyleSheet.Entries.back();
            entry.Number = value;
            entry.Kind = id == ipropCharStyleNo ? 0 : id == ipropStyleNo ? 1 : 2;
        }
        return rtf_ec_OK;
    case ipropStyleBasedOn:
    case ipropStyleNext:
    case ipropStyleAdditive:
    case ipropStyleHidden:
        if (dest == rds_StyleSheetEntry && !Tables.StyleSheet.Entries.empty()) {
            auto& sheet = Tables.StyleSheet;
            auto& entry = sheet.Entries.back();
            if (id == ipropStyleBasedOn)
                entry.BasedOn = sheet.IndexOfNumber(value);
            else if (id == ipropStyleNext)
                entry.NextStyle = sheet.IndexOfNumber(value);
            else if (id == ipropStyleAdditive)
                entry.Additive = true;
            else
                entry.HiddenStyle = true;
        }
        return rtf_ec_OK;
    case ipropHidden:
        if (dest == rds_Norm)
            return SetHidden(value != 0);
        break;
    case ipropPage:
        if (dest == rds_Norm && OnRequiredPageBreak) {
            if (const uint8_t code = PutTextChar(0, true, true))
                return code;
            OnRequiredPageBreak(*this);
        }
        return rtf_ec_OK;
    case ipropRowEnd:
        State.Format.RowProps().Finish();
        SyncTableLevel(true);
        DoTable(rdf_tbl_RowEnd);
        return rtf_ec_OK;
    case ipropCellEnd:
        SyncTableLevel(true);
        if (const uint8_t code = PutTextChar(0, true, true))
            return code;
        FPendingPosition = rtf_ts_NewPara;
        DoTable(rdf_tbl_CellEnd);
        return rtf_ec_OK;
    default:
        break;
    }
    ApplyRTFProperty(State.Format, Tables, id, value);
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::SetHidden(bool hidden)
{
    auto& ch = State.Format.Char;
    if (hidden == ch.Hidden)
        return rtf_ec_OK;
    uint8_t code = rtf_ec_OK;
    if (hidden) {
        FHiddenChanging = true;
        if (FPendingAnsi.isEmpty() && FPendingUnicode.isEmpty())
            ch.Hidden = true;
        code = PutTextChar(0, false, true);
        FHiddenChanging = false;
    } else {
        code = PutTextChar(0, false, true);
    }
    ch.Hidden = hidden;
    return code;
}

uint8_t TRDRTFReader::PutChar(uint8_t c)
{
    switch (State.Destination) {
    case rds_Picture:
        return ReadPictureHex(c);
    case rds_ObjData: {
        const int v = RTFHexValue(c);
        if (v < 0)
            return rtf_ec_InvalidPicture;
        if (FObjHexHigh) {
            FObjHexByte = static_cast<uint8_t>(v << 4);
        } else {
            if (FObject->ObjData.size() >= RTFMaxPictureBytes)
                return rtf_ec_InvalidPicture;
            FObject->ObjData.append(static_cast<char>(FObjHexByte | v));
        }
        FObjHexHigh = !FObjHexHigh;
        break;
    }
    case rds_Norm:
        return PutTextChar(c, true, true);
    case rds_FontTable:
        if (c != ';')
            Tables.Fonts.AppendNameByte(static_cast<char>(c));
        break;
    case rds_StyleSheetEntry:
        if (c != ';' && !Tables.StyleSheet.Entries.empty())
            Tables.StyleSheet.Entries.back().Name.append(static_cast<char>(c));
        break;
    case rds_ColorTable:
        if (c == ';')
            Tables.Colors.NewEntry();
        break;
    case rds_BmkStart:
        State.BookmarkName.append(static_cast<char>(c));
        break;
    case rds_FldInst:
        State.FieldInstruction.append(static_cast<char>(c));
        break;
    default:
        break;
    }
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::PutTextChar(uint8_t c, bool allowClose, bool sync)
{
    if (sync)
        SyncTableLevel(allowClose);
    if (SeparateTabs && c == 9) {
        if (const uint8_t code = FlushText(rtf_ts_ContinuePara))
            return code;
        FPendingAnsi.append('\t');
        return FlushText(rtf_ts_ContinuePara);
    }
    if (c != 0 && c != 13 && c != 10) {
        if (!FPendingUnicode.isEmpty()) {
            if (const uint8_t code = FlushText(rtf_ts_ContinuePara))
                return code;
        }
        FPendingAnsi.append(static_cast<char>(c));
        return rtf_ec_OK;
    }
    const TRDRTFPosition next = c == 0 ? rtf_ts_ContinuePara : c == 13 ? rtf_ts_NewLine : rtf_ts_NewPara;
    return FlushText(next);
}

uint8_t TRDRTFReader::FlushText(TRDRTFPosition next)
{
    const bool pending = !FPendingAnsi.isEmpty() || !FPendingUnicode.isEmpty();
    if (!pending && !FHiddenChanging) {
        if (FPendingPosition == rtf_ts_ContinuePara) {
            FPendingPosition = next;
            return rtf_ec_OK;
        }
        if (next == rtf_ts_ContinuePara)
            return rtf_ec_OK;
    }
    State.Format.Para.Complete();
    const TRDRTFPosition position = FPendingPosition;
    const QByteArray ansi = FPendingAnsi;
    const QString unicode = FPendingUnicode;
    FPendingAnsi.clear();
    FPendingUnicode.clear();
    FPendingPosition = next;
    try {
        if (OnNewUnicodeText && !unicode.isEmpty())
            OnNewUnicodeText(*this, RTFRepairSurrogates(unicode), position);
        else if (OnNewText)
            OnNewText(*this, ansi, position);
    } catch (...) {
        return rtf_ec_Aborted;
    }
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::PutUnicodeChar(char16_t unit)
{
    if (State.Destination != rds_Norm)
        return rtf_ec_OK;
    SyncTableLevel(true);
    if (!OnNewUnicodeText)
        return rtf_ec_OK;
    if (!FPendingAnsi.isEmpty()) {
        if (const uint8_t code = FlushText(rtf_ts_ContinuePara))
            return code;
    }
    if (unit != 0)
        FPendingUnicode.append(QChar(unit));
    return rtf_ec_OK;
}

void TRDRTFReader::SyncTableLevel(bool allowClose)
{
    const auto& para = State.Format.Para;
    const int wanted = para.InTable ? std::clamp(para.NestingLevel, 0, RTFMaxTableNesting) : 0;
    while (wanted > TableLevel) {
        DoTable(rdf_tbl_TableStart);
        ++TableLevel;
    }
    if (allowClose && !para.NoCloseTables) {
        while (wanted < TableLevel) {
            if (!DoTable(rdf_tbl_TableEnd))
                break;
            --TableLevel;
        }
    }
}

bool TRDRTFReader::DoTable(TRDRTFTableEventKind kind)
{
    bool processed = true;
    if (OnTable)
        OnTable(*this, kind, processed);
    return processed;
}

uint8_t TRDRTFReader::ReadBinary(uint8_t first)
{
    // Binary bytes belong to picture and object data only; elsewhere they
    // are counted and dropped, never read as text.
    const bool toPicture = State.Destination == rds_Picture && FPicture;
    const bool toObject = State.Destination == rds_ObjData && FObject;
    auto store = [&](const char* data, int64_t count) -> bool {
        if (toPicture)
            return FPicture->Write(data, count);
        if (toObject) {
            if (FObject->ObjData.size() + count > RTFMaxPictureBytes)
                return false;
            FObject->ObjData.append(data, count);
        }
        return true;
    };
    const char firstByte = static_cast<char>(first);
    if (!store(&firstByte, 1))
        return rtf_ec_InvalidPicture;
    --FBinCount;
    while (FBinCount > 0) {
        if (FBufPos >= FBuffer.size() && !Refill())
            break;
        const int64_t n = std::min<int64_t>(FBinCount, FBuffer.size() - FBufPos);
        if (!store(FBuffer.constData() + FBufPos, n))
            return rtf_ec_InvalidPicture;
        FBufPos += static_cast<int>(n);
        FBinCount -= n;
    }
    State.InputMode = rim_Normal;
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::ReadPictureHex(uint8_t first)
{
    // Hex digits in bulk, paired high nibble first; line breaks and other
    // stray characters are passed over; a backslash or a brace ends the run
    // and is read again by the main loop. A half byte left is dropped.
    static const auto table = [] {
        std::array<int8_t, 256> t{};
        t.fill(-1);
        for (int c = 0; c < 256; ++c)
            t[c] = static_cast<int8_t>(RTFHexValue(static_cast<uint8_t>(c)));
        return t;
    }();
    char buffer[65536];
    int fill = 0;
    int high = -1;
    TRDRTFPicture* pic = FPicture.get();
    auto flush = [&]() -> bool {
        const bool ok = !pic || pic->Write(buffer, fill);
        fill = 0;
        return ok;
    };
    auto take = [&](uint8_t c) -> bool {
        const int v = table[c];
        if (v < 0)
            return true;
        if (high < 0) {
            high = v;
            return true;
        }
        buffer[fill++] = static_cast<char>((high << 4) | v);
        high = -1;
        return fill < static_cast<int>(sizeof buffer) || flush();
    };
    if (!take(first))
        return rtf_ec_InvalidPicture;
    for (;;) {
        if (FBufPos >= FBuffer.size() && !Refill())
            break;
        const char* data = FBuffer.constData();
        const int size = static_cast<int>(FBuffer.size());
        while (FBufPos < size) {
            const auto c = static_cast<uint8_t>(data[FBufPos]);
            if (c == '\\' || c == '{' || c == '}') {
                return flush() ? rtf_ec_OK : rtf_ec_InvalidPicture;
            }
            ++FBufPos;
            if (!take(c))
                return rtf_ec_InvalidPicture;
        }
    }
    return flush() ? rtf_ec_OK : rtf_ec_InvalidPicture;
}

uint8_t TRDRTFReader::DeliverPicture(TRDRTFPicture* picture, std::unique_ptr<TGraphic>& graphic,
                                     const QString& fileName, bool& inserted)
{
    State.Format.Para.Complete();
    if (graphic && AfterImportGraphicHook)
        AfterImportGraphicHook(*graphic);
    inserted = false;
    try {
        OnNewPicture(*this, picture, graphic, FPendingPosition, fileName, inserted);
    } catch (...) {
        return rtf_ec_Aborted;
    }
    if (inserted)
        FPendingPosition = rtf_ts_ContinuePara;
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::EndPicture()
{
    if (const uint8_t code = PutTextChar(0, false, true))
        return code;
    std::unique_ptr<TRDRTFPicture> pic = std::move(FPicture);
    if (FIncludedPictureDone)
        return rtf_ec_OK;
    if (!pic)
        return OnNewPicture ? rtf_ec_InvalidPicture : rtf_ec_OK;
    std::unique_ptr<TGraphic> graphic;
    try {
        graphic = RTFMakePictureGraphic(*pic, PixelsPerInch, ExtractMetafileBitmaps);
    } catch (const std::exception&) {
        return rtf_ec_InvalidPicture;
    }
    bool inserted = false;
    if (const uint8_t code = DeliverPicture(pic.get(), graphic, QString(), inserted))
        return code;
    if (pic->FromShape)
        FShpPictInserted = inserted;
    if (!inserted && FIncludedGraphic) {
        std::unique_ptr<TGraphic> included = std::move(FIncludedGraphic);
        bool done = false;
        if (const uint8_t code = DeliverPicture(nullptr, included, QString(), done))
            return code;
    }
    FIncludedGraphic.reset();
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::EndObjectData()
{
    if (const uint8_t code = PutTextChar(0, false, true))
        return code;
    if (!FObject || !OnNewObject)
        return rtf_ec_OK;
    State.Format.Para.Complete();
    bool inserted = false;
    try {
        OnNewObject(*this, *FObject, FPendingPosition, inserted);
    } catch (...) {
        return rtf_ec_Aborted;
    }
    FObjectInserted = inserted;
    FPendingPosition = rtf_ts_ContinuePara;
    return rtf_ec_OK;
}

uint8_t TRDRTFReader::EndField()
{
    if (OnNewPicture && FIncludedGraphic && !FSaved.empty()) {
        std::unique_ptr<TGraphic> included = std::move(FIncludedGraphic);
        const QByteArray own = State.FieldInstruction;
        State.FieldInstruction = FSaved.back()->FieldInstruction;
        bool inserted = false;
        const uint8_t code = DeliverPicture(nullptr, included, QString(), inserted);
        State.FieldInstruction = own;
        if (code)
            return code;
    }
    State.FieldInstruction.clear();
    FIncludedPictureDone = false;
    FIncludedGraphic.reset();
    return rtf_ec_OK;
}

namespace {

bool RTFStartsWithWord(const QByteArray& text, const char* word)
{
    const QByteArray w(word);
    return text.size() >= w.size() && text.left(w.size()).toUpper() == w;
}

// The first argument after the field's name: switches before it are passed
// over; a quoted argument ends after its closing quote.
QByteArray RTFFieldArgument(const QByteArray& instruction, qsizetype* endAt = nullptr)
{
    qsizetype i = 0;
    const qsizetype n = instruction.size();
    for (;;) {
        while (i < n && instruction[i] != ' ')
            ++i;
        while (i < n && instruction[i] == ' ')
            ++i;
        if (i >= n) {
            if (endAt)
                *endAt = n;
            return {};
        }
        if (instruction[i] != '\\')
            break;
    }
    qsizetype end = i;
    QByteArray arg;
    if (instruction[i] == '"') {
        end = instruction.indexOf('"', i + 1);
        if (end < 0)
            end = n;
        arg = instruction.mid(i + 1, end - i - 1);
        end = std::min(end + 1, n);
    } else {
        while (end < n && instruction[end] != ' ')
            ++end;
        arg = instruction.mid(i, end - i);
    }
    if (endAt)
        *endAt = end;
    return arg;
}

}  // namespace

uint8_t TRDRTFReader::EndFieldInstruction()
{
    const QByteArray instruction = State.FieldInstruction.trimmed();
    if (const uint8_t code = DoIncludePicture(instruction))
        return code;
    if (const uint8_t code = DoSymbol(instruction))
        return code;
    return DoSeq(instruction);
}

uint8_t TRDRTFReader::DoIncludePicture(const QByteArray& instructionIn)
{
    if (!OnNewPicture)
        return rtf_ec_OK;
    QByteArray instruction = instructionIn;
    if (instruction.startsWith('\\'))
        instruction.remove(0, 1);
    if (!RTFStartsWithWord(instruction, "INCLUDEPICTURE") && !RTFStartsWithWord(instruction, "IMPORT"))
        return rtf_ec_OK;
    try {
        QByteArray name = RTFFieldArgument(instruction);
        name.replace("\\\\", "\\");
        if (name.isEmpty())
            return rtf_ec_OK;
        const QByteArray base = QStringToAnsi(CodePage, BasePath);
        const bool baseSlash = base.endsWith('/') || base.endsWith('\\');
        const bool nameSlash = name.startsWith('/') || name.startsWith('\\');
        if (baseSlash && nameSlash)
            name.remove(0, 1);
        if (!name.contains(':') && !base.isEmpty()) {
            // A base folder given without its closing slash still is a folder.
            name = (baseSlash || nameSlash) ? base + name : base + '/' + name;
        }
        bool invalid = false;
        std::unique_ptr<TGraphic> graphic = LoadIncludedPicture(name, invalid);
        if (!graphic)
            return rtf_ec_OK;
        if (invalid) {
            FIncludedGraphic = std::move(graphic);
            return rtf_ec_OK;
        }
        const QByteArray own = State.FieldInstruction;
        State.FieldInstruction = FEnclosingInstruction;
        bool inserted = false;
        const uint8_t code = DeliverPicture(nullptr, graphic, AnsiToQString(CodePage, name), inserted);
        State.FieldInstruction = own;
        if (code)
            return code;
        FPendingPosition = rtf_ts_ContinuePara;
        FIncludedPictureDone = true;
    } catch (...) {
        // A failing load (also in OnImportPicture) only ends this step.
    }
    return rtf_ec_OK;
}

std::unique_ptr<TGraphic> TRDRTFReader::LoadIncludedPicture(const QByteArray& name, bool& invalid)
{
    auto tryName = [&](const QByteArray& n, bool& inv) {
        std::unique_ptr<TGraphic> g;
        inv = false;
        if (OnImportPicture)
            OnImportPicture(*this, AnsiToQString(CodePage, n), g, inv);
        if (!g)
            g = LoadPictureFile(n);
        return g;
    };
    std::unique_ptr<TGraphic> graphic = tryName(name, invalid);
    const QByteArray decoded = DecodePercentEscapes(name, false);
    if ((!graphic || invalid) && decoded != name) {
        bool invalid2 = false;
        if (std::unique_ptr<TGraphic> second = tryName(decoded, invalid2)) {
            graphic = std::move(second);
            invalid = invalid2;
        }
    }
    return graphic;
}

std::unique_ptr<TGraphic> TRDRTFReader::LoadPictureFile(const QByteArray& name)
{
    // Only regular files of bounded size inside the base folder, after
    // resolving "..", "." and symbolic links; without a base folder none.
    if (BasePath.isEmpty())
        return nullptr;
    const QString baseDir = QFileInfo(BasePath).canonicalFilePath();
    if (baseDir.isEmpty())
        return nullptr;
    QString path = AnsiToQString(CodePage, name);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString canonical = QFileInfo(QDir::cleanPath(path)).canonicalFilePath();
    if (canonical.isEmpty() || !canonical.startsWith(baseDir + QLatin1Char('/')))
        return nullptr;
    std::error_code error;
    const std::filesystem::path fsPath(canonical.toStdString());
    if (!std::filesystem::is_regular_file(fsPath, error) || error)
        return nullptr;
    const auto size = std::filesystem::file_size(fsPath, error);
    if (error || size > static_cast<uintmax_t>(RTFMaxPictureBytes))
        return nullptr;
    QFile file(canonical);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = file.read(RTFMaxPictureBytes + 1);
    if (bytes.size() > RTFMaxPictureBytes)
        return nullptr;
    return RTFGraphicFromFileBytes(bytes);
}

uint8_t TRDRTFReader::DoSymbol(const QByteArray& instruction)
{
    if (!RTFStartsWithWord(instruction, "SYMBOL"))
        return rtf_ec_OK;
    qsizetype i = 6;
    if (i < instruction.size() && instruction[i] == ' ')
        ++i;
    qsizetype end = instruction.indexOf(' ', i);
    if (end < 0)
        end = instruction.size();
    bool ok = false;
    const int code = instruction.mid(i, end - i).toInt(&ok);
    if (!ok)
        return rtf_ec_Exception;
    const qsizetype fontAt = instruction.indexOf("\\f ", end);
    const qsizetype sizeAt = instruction.indexOf("\\s ", end);
    if (fontAt < 0 || sizeAt < 0)
        return rtf_ec_OK;
    qsizetype sizeEnd = instruction.indexOf(' ', sizeAt + 3);
    if (sizeEnd < 0)
        sizeEnd = instruction.size();
    const double size = instruction.mid(sizeAt + 3, sizeEnd - sizeAt - 3).toDouble(&ok);
    if (!ok || !std::isfinite(size))
        return rtf_ec_Exception;
    const qsizetype q1 = instruction.indexOf('"', fontAt + 3);
    const qsizetype q2 = q1 < 0 ? -1 : instruction.indexOf('"', q1 + 1);
    if (q1 < 0 || q2 < 0)
        return rtf_ec_OK;
    const QString fontName = AnsiToQString(CodePage, instruction.mid(q1 + 1, q2 - q1 - 1));
    auto& ch = State.Format.Char;
    const int oldSize = ch.Size;
    const QString oldOverride = ch.FontNameOverride;
    if (const uint8_t c = PutTextChar(0, true, true))
        return c;
    ch.Size = RTFSaturate(std::nearbyint(size));
    ch.FontNameOverride = fontName;
    uint8_t result = PutTextChar(static_cast<uint8_t>(code & 0xFF), true, true);
    if (result == rtf_ec_OK)
        result = PutTextChar(0, true, true);
    ch.Size = oldSize;
    ch.FontNameOverride = oldOverride;
    return result;
}

uint8_t TRDRTFReader::DoSeq(const QByteArray& instruction)
{
    if (!RTFStartsWithWord(instruction, "SEQ"))
        return rtf_ec_OK;
    qsizetype nameEnd = 0;
    const QByteArray name = RTFFieldArgument(instruction, &nameEnd);
    const QByteArray rest = instruction.mid(nameEnd);
    TRDRTFSeqType type = rtf_seqDecimal;
    static const std::pair<const char*, TRDRTFSeqType> kinds[] = {
        {"\\* alphabetic", rtf_seqLowerAlpha}, {"\\* ALPHABETIC", rtf_seqUpperAlpha},
        {"\\* roman", rtf_seqLowerRoman}, {"\\* ROMAN", rtf_seqUpperRoman}};
    for (const auto& [text, kind] : kinds) {
        if (rest.contains(text)) {
            type = kind;
            break;
        }
    }
    bool reset = false;
    int startFrom = 0;
    const qsizetype r = rest.indexOf("\\r ");
    if (r >= 0) {
        qsizetype e = r + 3;
        int64_t value = 0;
        while (e < rest.size() && rest[e] >= '0' && rest[e] <= '9') {
            value = std::min<int64_t>(value * 10 + (rest[e] - '0'), INT_MAX);
            ++e;
        }
        if (e > r + 3) {
            reset = true;
            startFrom = static_cast<int>(value);
        }
    }
    if (!OnNewSeq)
        return rtf_ec_OK;
    State.Format.Para.Complete();
    try {
        OnNewSeq(*this, FPendingPosition, name, type, reset, startFrom);
    } catch (...) {
        return rtf_ec_Aborted;
    }
    FPendingPosition = rtf_ts_ContinuePara;
    // The instruction group is closing: the field group that gets it back
    // skips its result.
    State.SkipFieldResult = true;
    if (!FSaved.empty())
        FSaved.back()->SkipFieldResult = true;
    return rtf_ec_OK;
}
