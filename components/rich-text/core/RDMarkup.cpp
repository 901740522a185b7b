#include "core/RDMarkup.h"

#include <QtCore/QLocale>

#include "AnsiText.h"
#include "core/RDFStream.h"
#include "core/RDStrUtils.h"

namespace {
// The entity of each Symbol-font byte from 32 to 254.
const char* SymbolEntity(unsigned char b)
{
    switch (b) {
    case 34: return "forall"; case 36: return "exist"; case 64: return "cong"; case 65: return "Alpha";
    case 66: return "Beta"; case 67: return "Chi"; case 68: return "Delta"; case 69: return "Epsilon";
    case 70: return "Phi"; case 71: return "Gamma"; case 72: return "Eta"; case 73: return "Iota";
    case 74: return "#977"; case 75: return "Kappa"; case 76: return "Lambda"; case 77: return "Mu";
    case 78: return "Nu"; case 79: return "Omicron"; case 80: return "Pi"; case 81: return "Theta";
    case 82: return "Rho"; case 83: return "Sigma"; case 84: return "Tau"; case 85: return "Upsilon";
    case 86: return "sigmaf"; case 87: return "Omega"; case 88: return "Xi"; case 89: return "Psi";
    case 90: return "Zeta"; case 92: return "there4"; case 94: return "perp"; case 97: return "alpha";
    case 98: return "beta"; case 99: return "chi"; case 100: return "delta"; case 101: return "epsilon";
    case 102: return "#981"; case 103: return "gamma"; case 104: return "eta"; case 105: return "iota";
    case 106: return "phi"; case 107: return "kappa"; case 108: return "lambda"; case 109: return "mu";
    case 110: return "nu"; case 111: return "omicron"; case 112: return "pi"; case 113: return "theta";
    case 114: return "rho"; case 115: return "sigma"; case 116: return "tau"; case 117: return "upsilon";
    case 118: return "#982"; case 119: return "omega"; case 120: return "xi"; case 121: return "psi";
    case 122: return "zeta"; case 161: return "#978"; case 162: return "prime"; case 163: return "le";
    case 164: return "frasl"; case 165: return "infin"; case 166: return "fnof"; case 167: return "clubs";
    case 168: return "diams"; case 169: return "hearts"; case 170: return "spades"; case 171: return "harr";
    case 172: return "larr"; case 173: return "uarr"; case 174: return "rarr"; case 175: return "darr";
    case 177: return "plusmn"; case 178: return "Prime"; case 179: return "ge"; case 180: return "times";
    case 181: return "prop"; case 182: return "part"; case 183: return "#8226"; case 184: return "divide";
    case 185: return "ne"; case 186: return "equiv"; case 187: return "asymp"; case 188: return "hellip";
    case 191: return "crarr"; case 192: return "alefsym"; case 193: return "image"; case 194: return "real";
    case 195: return "weierp"; case 196: return "otimes"; case 197: return "oplus"; case 198: return "empty";
    case 199: return "cap"; case 200: return "cup"; case 201: return "sup"; case 202: return "supe";
    case 203: return "nsub"; case 204: return "sub"; case 205: return "sube"; case 206: return "isin";
    case 207: return "notin"; case 208: return "ang"; case 209: return "nabla"; case 210: return "reg";
    case 211: return "copy"; case 212: return "trade"; case 213: return "prod"; case 214: return "radic";
    case 215: return "sdot"; case 216: return "not"; case 217: return "and"; case 218: return "or";
    case 219: return "hArr"; case 220: return "lArr"; case 221: return "uArr"; case 222: return "rArr";
    case 223: return "dArr"; case 224: return "loz"; case 225: return "lang"; case 226: return "reg";
    case 227: return "copy"; case 228: return "trade"; case 229: return "sum"; case 240: return "euro";
    case 241: return "rang"; case 242: return "int"; case 243: return "#8992"; case 245: return "#8993";
    // The three characters that would break the markup are escaped.
    case 38: return "amp"; case 60: return "lt"; case 62: return "gt";
    default: return nullptr;
    }
}

void AppendSymbol(QByteArray& out, unsigned char b)
{
    if (b < 32 || b == 255 || (b >= 127 && b <= 160))
        return;
    if (const char* entity = SymbolEntity(b)) {
        out.append('&').append(entity).append(';');
        return;
    }
    switch (b) {
    case 39: out.append('?'); return;
    case 96: case 190: out.append('-'); return;
    case 189: case 231: case 234: case 239: case 244: case 247: case 250: out.append('|'); return;
    case 230: case 233: case 236: case 248: case 251: case 254: out.append('/'); return;
    case 232: case 235: case 238: case 246: case 249: case 252: out.append('\\'); return;
    case 237: out.append('{'); return;
    case 253: out.append('}'); return;
    default: out.append(static_cast<char>(b)); return;
    }
}

}  // namespace

QByteArray EscapeHtmlText(const QByteArray& s, bool isHTMLCode)
{
    if (isHTMLCode)
        return s;
    QByteArray out = s;
    ReplaceAll(out, "&", "&amp;");
    ReplaceAll(out, ">", "&gt;");
    ReplaceAll(out, "<", "&lt;");
    // Each pair of spaces from the start: n spaces give n-1 "&nbsp;" and one space.
    ReplaceAllFromStart(out, "  ", "&nbsp; ");
    return out;
}

QByteArray UnicodeToHtmlEntities(const QByteArray& s, bool isHTMLCode)
{
    CheckEvenByteLength(s.size());
    const qsizetype n = s.size() / 2;
    QByteArray out;
    bool prevSpace = true;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = WideUnitAt(s, i);
        if (u < 128) {
            if (isHTMLCode) {
                out.append(static_cast<char>(u));
                prevSpace = false;
            } else if (u == '&' || u == '<' || u == '>') {
                out.append(u == '&' ? "&amp;" : u == '<' ? "&lt;" : "&gt;");
                prevSpace = false;
            } else if (u == ' ') {
                if (prevSpace || i == n - 1) {
                    out.append("&nbsp;");
                    prevSpace = false;
                } else {
                    out.append(' ');
                    prevSpace = true;
                }
            } else {
                out.append(static_cast<char>(u));
                prevSpace = false;
            }
        } else if (u == 0xA0) {
            out.append("&nbsp;");
        } else {
            out.append("&#").append(QByteArray::number(u)).append(';');
            prevSpace = false;
        }
    }
    return out;
}

QByteArray UnicodeToHtmlText(const QByteArray& s, bool isHTMLCode)
{
    const QString text = RawToWideString(s);
    if (isHTMLCode)
        return text.toUtf8();
    QByteArray out;
    QString run;
    auto flush = [&] {
        out.append(run.toUtf8());
        run.clear();
    };
    bool afterSpace = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u' ') {
            if (afterSpace || i == text.size() - 1) {
                flush();
                out.append("&nbsp;");
                afterSpace = false;
            } else {
                run += c;
                afterSpace = true;
            }
        } else if (c == u'&' || c == u'<' || c == u'>' || c == QChar(0xA0)) {
            flush();
            out.append(c == u'&' ? "&amp;" : c == u'<' ? "&lt;" : c == u'>' ? "&gt;" : "&nbsp;");
            afterSpace = false;
        } else {
            run += c;
            afterSpace = false;
        }
    }
    flush();
    return out;
}

QByteArray SymbolToHtmlEntities(const QByteArray& s)
{
    QByteArray out;
    for (char c : s)
        AppendSymbol(out, static_cast<unsigned char>(c));
    return out;
}

QByteArray SymbolToHtmlEntitiesW(const QByteArray& s)
{
    CheckEvenByteLength(s.size());
    QByteArray out;
    for (qsizetype i = 0; i < s.size() / 2; ++i) {
        char16_t u = WideUnitAt(s, i);
        if (u >= 0xF000)
            u -= 0xF000;
        if (u >= 32 && u <= 254)
            AppendSymbol(out, static_cast<unsigned char>(u));
    }
    return out;
}

QByteArray ColorToHtml(TColor color, bool quoted)
{
    if (color == clNone)
        return {};
    const TColor rgb = color == clWindowText ? 0 : ColorToRGB(color);
    const QByteArray text = QByteArray("#") + QByteArray::number(rgb & 0xFF, 16).rightJustified(2, '0')
                            + QByteArray::number((rgb >> 8) & 0xFF, 16).rightJustified(2, '0')
                            + QByteArray::number((rgb >> 16) & 0xFF, 16).rightJustified(2, '0');
    return quoted ? '"' + text + '"' : text;
}

QByteArray ColorToCss(TColor color)
{
    return color == clNone ? QByteArray("transparent") : ColorToHtml(color, false);
}

QByteArray PathToHtmlUrl(const QByteArray& path, int options, TRDCodePage codePage)
{
    QByteArray out = path;
    out.replace('\\', '/');
    return (options & rdhtmlUTF8) ? AnsiToUtf8(codePage, out) : out;
}

int HtmlFontSize(int points)
{
    if (points <= 8) return 1;
    if (points <= 10) return 2;
    if (points <= 12) return 3;
    if (points <= 14) return 4;
    if (points <= 18) return 5;
    if (points <= 24) return 6;
    return 7;
}

QByteArray HtmlCharsetName(uint8_t charset)
{
    switch (charset) {
    case 0: return "Windows-1252"; case 128: return "shift_jis"; case 129: return "EUC-KR";
    case 130: return "CP1361"; case 134: return "gb2312"; case 136: return "big5";
    case 161: return "Windows-1253"; case 162: return "Windows-1254"; case 163: return "Windows-1258";
    case 177: return "Windows-1255"; case 178: return "Windows-1256"; case 186: return "Windows-1257";
    case 204: return "Windows-1251"; case 222: return "Windows-874"; case 238: return "Windows-1250";
    case 255: return "ascii";
    default: return {};
    }
}

QByteArray HtmlEmptyTagEnd(int options)
{
    return (options & rdhtmlXHTML) ? QByteArray(" /") : QByteArray();
}

QByteArray HtmlBoolAttr(const QByteArray& name, int options)
{
    return (options & rdhtmlXHTML) ? name + "=\"" + name + '"' : name;
}

QByteArray HtmlIntAttr(int value, int options)
{
    const QByteArray n = QByteArray::number(value);
    return (options & rdhtmlXHTML) ? '"' + n + '"' : n;
}

QByteArray HtmlQuoteValue(const QByteArray& s, int options)
{
    if (!(options & rdhtmlXHTML))
        return s;
    if (!s.isEmpty() && s.front() == '"' && s.back() == '"')
        return s;
    return '"' + s + '"';
}

QByteArray DecodePercentEscapes(const QByteArray& s, bool allowLineBreaks)
{
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    QByteArray out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            const char b = static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            if ((b == 13 || b == 10) && !allowLineBreaks) {
                out.append(s.mid(i, 3));
            } else {
                out.append(b);
            }
            i += 2;
        } else {
            out.append(s[i]);
        }
    }
    return out;
}

QByteArray MakeHintAttribute(int kind, const QByteArray& hint)
{
    if (hint.isEmpty())
        return {};
    QByteArray h = hint;
    if (kind == 1) {
        h.replace('"', '\'');
        return "title=\"" + h + '"';
    }
    if (kind == 2) {
        h.replace('"', '\'');
        return "\\o \"" + RtfSafeName(h) + '"';
    }
    return hint;
}


void RtfEncodeChars(QByteArray& s, bool keywords)
{
    for (qsizetype i = s.size() - 1; i >= 0; --i) {
        const unsigned char b = static_cast<unsigned char>(s.at(i));
        if (b >= 32 && b < 128)
            continue;
        QByteArray code;
        if (keywords && b == 0x95)
            code = "\\bullet ";
        else if (keywords && b == 0xA0)
            code = "\\~";
        else
            code = "\\'" + QByteArray::number(b, 16).rightJustified(2, '0');
        s.replace(i, 1, code);
    }
}

QByteArray RtfEscapeText(const QByteArray& s, bool isRTFCode, bool keywords)
{
    QByteArray out = s;
    if (!isRTFCode)
        InsertBeforeCharsInSet(out, '\\', MakeCharSet("\\{}"));
    RtfEncodeChars(out, keywords);
    return out;
}

QByteArray RtfEscapeFieldText(const QByteArray& s)
{
    QByteArray out = s;
    InsertBeforeCharsInSet(out, '\\', MakeCharSet("\\{}"));
    InsertBeforeCharsInSet(out, '\\', MakeCharSet("\\"));
    RtfEncodeChars(out, false);
    return out;
}

QByteArray RtfSafeName(const QByteArray& s)
{
    QByteArray out = s;
    ReplaceCharsInSet(out, '_', MakeCharSet("\\{}"));
    RtfEncodeChars(out, false);
    return out;
}

QByteArray RtfBookmarkName(const QByteArray& s)
{
    QString text = AnsiToQString(CP_ACP, s);
    for (QChar& c : text)
        if (!c.isLetterOrNumber())
            c = u'_';
    QByteArray out = QStringToAnsi(CP_ACP, text);
    RtfEncodeChars(out, false);
    return out;
}

void RtfWriteUnicodeText(TRDStream& stream, const QByteArray& text, TRDCodePage codePage, bool isRTFCode,
                         bool duplicateUnicode)
{
    CheckEvenByteLength(text.size());
    for (qsizetype i = 0; i < text.size() / 2; ++i) {
        const char16_t u = WideUnitAt(text, i);
        if (u >= 1 && u <= 127) {
            const QByteArray escaped = RtfEscapeText(QByteArray(1, static_cast<char>(u)), isRTFCode, true);
            if (!escaped.isEmpty())
                RDFWrite(stream, escaped);
            continue;
        }
        if (!isRTFCode) {
            const char* keyword = nullptr;
            switch (u) {
            case 0x0095: keyword = "\\bullet "; break;
            case 0x00A0: keyword = "\\~"; break;
            case 0x00AD: keyword = "\\-"; break;
            case 0x2002: keyword = "\\enspace "; break;
            case 0x2003: keyword = "\\emspace "; break;
            case 0x2005: keyword = "\\qmspace "; break;
            case 0x2013: keyword = "\\endash "; break;
            case 0x2014: keyword = "\\emdash "; break;
            case 0x2018: keyword = "\\lquote "; break;
            case 0x2019: keyword = "\\rquote "; break;
            case 0x201C: keyword = "\\ldblquote "; break;
            case 0x201D: keyword = "\\rdblquote "; break;
            default: break;
            }
            if (keyword) {
                RDFWrite(stream, keyword);
                continue;
            }
        }
        QByteArray ansi;
        if (duplicateUnicode) {
            ansi = Utf16ToAnsi(codePage, text.mid(2 * i, 2));
            if (ansi.size() != 1)
                RDFWrite(stream, "\\uc" + QByteArray::number(ansi.size()));
        }
        RDFWrite(stream, "\\u" + QByteArray::number(static_cast<int16_t>(u)) + ' ');
        if (duplicateUnicode) {
            const QByteArray escaped = RtfEscapeText(ansi, false, true);
            if (!escaped.isEmpty())
                RDFWrite(stream, escaped);
            if (ansi.size() != 1)
                RDFWrite(stream, "\\uc1 ");
        }
    }
}
