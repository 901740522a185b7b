#include "interchange/RDRTF.h"

#include <algorithm>
#include <climits>

#include <QtCore/QIODevice>

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
    if (FBufPos >= FBuffer.size()) {
        if (FReportProgress && FSize > 0) {
            // 64 bits: the product overflows 32 bits past 21 MB.
            const int64_t percent = std::clamp<int64_t>(FStream->pos() * 100 / FSize, 0, 100);
            OnProgress(*this, rdprtfprRunning, static_cast<uint8_t>(percent));
        }
        FBuffer = FStream->read(RTFBlockSize);
        FBufPos = 0;
        if (FBuffer.isEmpty())
            return false;
    }
    c = static_cast<uint8_t>(FBuffer.at(FBufPos++));
    FLastChar = c;
    return true;
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
            code = PutChar(c);
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
    if (closing == rds_FldInst && saved.Destination != rds_FldInst) {
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
    case rdsNonShpPict:  // no picture of a "\shppict" group is inserted yet
    case rdsObject:      // no object is read: its result is read as text
    case rdsObjResult:
        State.Destination = rds_Norm;
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
        State.FieldInstruction.clear();
        break;
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
    if (State.InputMode == rim_Binary) {
        // Binary bytes belong to picture and object data only; elsewhere
        // they are counted and dropped, never read as text.
        if (--FBinCount <= 0)
            State.InputMode = rim_Normal;
        return rtf_ec_OK;
    }
    switch (State.Destination) {
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
