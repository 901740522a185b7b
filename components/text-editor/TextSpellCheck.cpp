#include "TextSpellCheck.h"

#include "AnsiText.h"
#include "Graphics.h"
#include "TextEditUtils.h"
#include "TextSpellCheckMetaphone.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtCore/QSaveFile>
#include <QtGui/QPainter>

#include <algorithm>
#include <cstring>

namespace {

// One line of a word-list file without its line end.
QString DecodeLine(const char* p, qsizetype n)
{
    if (n > 0 && p[n - 1] == '\r')
        --n;
    for (qsizetype i = 0; i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80)
            return AnsiToString(QByteArray(p, n));
    return QString::fromLatin1(p, n);
}

// The lines of a word-list file: GBK text, CR LF (or LF) ends. Read in
// pieces, each line decoded on its own (no GBK byte is a line feed).
QStringList ReadLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(std::min<qint64>(file.size() / 8, 1 << 20)));  // words of a few letters
    QByteArray piece(65536, Qt::Uninitialized);
    QByteArray pending;  // the start of a line the last piece ended in
    for (;;) {
        const qint64 n = file.read(piece.data(), piece.size());
        if (n < 0)
            throw EInOutError(QStringLiteral("%1: %2").arg(path, file.errorString()));
        if (n == 0)
            break;
        const char* p = piece.constData();
        const char* end = p + n;
        while (p < end) {
            const char* feed = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            if (!feed) {
                pending.append(p, end - p);
                break;
            }
            if (pending.isEmpty()) {
                lines.append(DecodeLine(p, feed - p));
            } else {
                pending.append(p, feed - p);
                lines.append(DecodeLine(pending.constData(), pending.size()));
                pending.clear();
            }
            p = feed + 1;
        }
    }
    // A last line without a line end; a lone CR there is no line.
    if (!pending.isEmpty()) {
        QString last = DecodeLine(pending.constData(), pending.size());
        if (!last.isEmpty())
            lines.append(last);
    }
    return lines;
}

// Writes lines as a word-list file, whole, before it replaces the old one.
void WriteLines(const QString& path, const QStringList& lines)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EInOutError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    QByteArray bytes;
    for (const QString& line : lines) {
        AppendAnsi(bytes, line);
        bytes += "\r\n";
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw EInOutError(QStringLiteral("%1: %2").arg(path, file.errorString()));
}

QString WithSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= ' ';
}

QStringView StripChars(QStringView w, QChar ch)
{
    qsizetype from = 0;
    qsizetype to = w.size();
    while (from < to && w.at(from).unicode() <= ch.unicode())
        ++from;
    while (to > from && w.at(to - 1) == ch)
        --to;
    return w.mid(from, to - from);
}

}  // namespace

QString DefaultSpellFolder()
{
    return QStringLiteral("/usr/share/TextSpell/");
}

QString SpellLowerCase(const QString& word)
{
    return word.toLower();
}

TTextSpellCheck::TTextSpellCheck()
{
    FIndex.fill({-1, -1});
    FCheckAttribs = {QStringLiteral("Comment"), QStringLiteral("Text"), QStringLiteral("String"),
                     QStringLiteral("Documentation")};
    SetApostrophes(QString(QLatin1Char('\'')) + QLatin1Char('`') + QChar(0xB4));
}

TTextSpellCheck::~TTextSpellCheck()
{
    // The plugins stay with their editors and draw nothing from now on.
    for (TDrawAutoSpellCheckPlugin* plugin : FPlugins)
        if (plugin)
            plugin->SetSpellCheck(nullptr);
    CloseDictionary();
}

QString TTextSpellCheck::DictionaryPath() const
{
    return FDictionaryPath.isEmpty() ? DefaultSpellFolder() : ResolveFolder(FDictionaryPath);
}

QString TTextSpellCheck::UserDirectory() const
{
    return FUserDirectory.isEmpty() ? DefaultSpellFolder() : ResolveFolder(FUserDirectory);
}

void TTextSpellCheck::SetApostrophes(const QString& value)
{
    FApostrophes = value;
    FSpellWordChars.reset();
    FSpellWordChars.set('-');
    for (char c = '0'; c <= '9'; ++c)
        FSpellWordChars.set(static_cast<size_t>(c));
    for (char c = 'A'; c <= 'Z'; ++c) {
        FSpellWordChars.set(static_cast<size_t>(c));
        FSpellWordChars.set(static_cast<size_t>(c + 32));
    }
    // The accented letters of the codes 128 to 255 (é of éclair, ü of über).
    for (char16_t c = 128; c < 256; ++c)
        if (QChar(c).isLetter())
            FSpellWordChars.set(c);
    for (QChar c : value)
        if (c.unicode() > 0 && c.unicode() < 256)
            FSpellWordChars.set(c.unicode());
}

void TTextSpellCheck::SetSkipList(const QStringList& value)
{
    FSkipList.clear();
    for (const QString& word : value)
        AddSkipWord(word);
}

void TTextSpellCheck::AddSkipWord(const QString& word)
{
    if (!FSkipList.contains(word))
        FSkipList.append(word);
}

QString TTextSpellCheck::HashOf(const QString& word) const
{
    switch (FAlgorithm) {
    case haSoundEx: return SoundexKey(word, FHashLength);
    case haMetaphone: return MetaphoneKey(word);
    default: return {};
    }
}

void TTextSpellCheck::RecomputeHashes()
{
    for (TWordRec& rec : FWords)
        rec.Hash = FAlgorithm == haSoundEx ? SoundexKey(rec.Word, FHashLength) : MetaphoneKey(rec.Word);
}

void TTextSpellCheck::SetAlgorithm(HashAlgorithms value)
{
    if (value == FAlgorithm)
        return;
    FAlgorithm = value;
    RecomputeHashes();
}

void TTextSpellCheck::SetHashLength(int value)
{
    if (FAlgorithm == haMetaphone && value > 8)
        value = 8;
    value = std::clamp(value, 0, 255);
    if (value == FHashLength)
        return;
    FHashLength = value;
    RecomputeHashes();
}

void TTextSpellCheck::AddWord(const QString& word, bool user)
{
    TWordRec rec;
    rec.Word = word;
    rec.User = user;
    if ((FOptions & sscoSuggestWords) && FAlgorithm != haDiff)
        rec.Hash = HashOf(word);
    FWords.push_back(std::move(rec));
}

QString TTextSpellCheck::FindNewestDictionary(const QString& language) const
{
    const QDir dir(DictionaryPath());
    const QRegularExpression pattern(QStringLiteral("^%1\\..-.-.\\.dic$").arg(QRegularExpression::escape(language)),
                                     QRegularExpression::CaseInsensitiveOption);
    QString newest;
    QString newestLower;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
        if (!pattern.match(name).hasMatch())
            continue;
        const QString lower = name.toLower();
        if (lower.contains(QStringLiteral(".user.")))
            continue;
        if (newest.isEmpty() || QString::compare(lower, newestLower, Qt::CaseInsensitive) > 0) {
            newest = name;
            newestLower = lower;
        }
    }
    return newest;
}

QString TTextSpellCheck::UserListPath() const
{
    return WithSlash(UserDirectory()) + FUserFileName;
}

void TTextSpellCheck::WriteSkipList(const QString& path) const
{
    QStringList lines;
    for (const QString& word : FSkipList)
        if (!word.trimmed().isEmpty())
            lines.append(word);
    WriteLines(path, lines);
}

void TTextSpellCheck::OpenLanguageDictionary(const QString& language, const QString& fileName)
{
    if (FOpenDictionary) {
        const QString folder = UserDirectory();
        if (ForceDirectoryPath(folder.chopped(1).isEmpty() ? folder : folder.chopped(1)))
            WriteSkipList(WithSlash(folder) + FLanguage.Name + QStringLiteral(".SkipWord.dic"));
        WriteUserDictionary();
    }
    QString mainList;
    QString dictionary;
    if (!fileName.trimmed().isEmpty()) {
        mainList = fileName;
        dictionary = fileName;
    } else {
        mainList = DictionaryPath() + FindNewestDictionary(language);
        dictionary = language;
    }
    // Read whole before anything changes, so a failure leaves the lists as they were.
    const QStringList lines = ReadLines(mainList);
    FDictionary = dictionary;
    FMaxWordLength = 0;
    FWords.reserve(FWords.size() + static_cast<size_t>(lines.size()));
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        AddWord(line, false);
        FMaxWordLength = std::max(FMaxWordLength, CellLength(line));
    }
    const QString name = QFileInfo(mainList).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    FLanguage.Name = dot < 0 ? name : name.left(dot);
    FLanguage.Version = dot < 0 ? QString() : name.mid(dot + 1, 5);
    FUserFileName = FLanguage.Name + QStringLiteral(".user.dic");
    FModified = false;
    if (FUseUserDictionary) {
        if (FUserDirectory.isEmpty())
            FUserDirectory = UserDirectory();
        const QString userList = UserListPath();
        if (QFileInfo::exists(userList))
            for (const QString& line : ReadLines(userList))
                if (!line.trimmed().isEmpty()) {
                    AddWord(line, true);
                    FMaxWordLength = std::max(FMaxWordLength, CellLength(line));
                }
        const QString skipList = WithSlash(UserDirectory()) + FLanguage.Name + QStringLiteral(".SkipWord.dic");
        if (QFileInfo::exists(skipList))
            SetSkipList(ReadLines(skipList));
    }
    SortAndIndex();
    FOpenDictionary = true;
    if (FOptions & sscoAutoSpellCheck) {
        if (FEditor)
            FEditor->update();
        if (OnInvalidateEditor)
            OnInvalidateEditor(this);
    }
    if (OnDictLoad)
        OnDictLoad(this);
}

void TTextSpellCheck::SortAndIndex()
{
    const auto byWord = [](const TWordRec& a, const TWordRec& b) { return a.Word < b.Word; };
    // The shipped lists come sorted: one pass finds that out.
    if (!std::is_sorted(FWords.begin(), FWords.end(), byWord))
        std::stable_sort(FWords.begin(), FWords.end(), byWord);
    FKeys.clear();
    FKeys.reserve(FWords.size());
    for (const TWordRec& rec : FWords)
        FKeys.push_back(PrefixKey(rec.Word));
    FIndex.fill({-1, -1});
    for (int i = 0; i < WordCount(); ++i) {
        const char16_t first = FWords[static_cast<size_t>(i)].Word.at(0).unicode();
        if (first >= 256)
            continue;
        if (FIndex[first].first < 0)
            FIndex[first].first = i;
        FIndex[first].second = i;
    }
}

void TTextSpellCheck::CloseDictionary()
{
    FIndex.fill({-1, -1});
    FWords.clear();
    FKeys.clear();
    FSkipList.clear();
    FOpenDictionary = false;
    if (OnDictClose)
        OnDictClose(this);
}

int TTextSpellCheck::FindDictionaryWord(const QString& word) const
{
    if (word.isEmpty() || FWords.empty())
        return -1;
    // The keys narrow the search to the words sharing the first characters,
    // in one small array; only those are compared whole.
    const std::uint64_t key = PrefixKey(word);
    const auto first = std::lower_bound(FKeys.begin(), FKeys.end(), key);
    const auto last = std::upper_bound(first, FKeys.end(), key);
    int lo = static_cast<int>(first - FKeys.begin());
    const int end = static_cast<int>(last - FKeys.begin());
    // Lowest index holding the word: an equal element moves the upper bound down.
    int hi = end;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (FWords[static_cast<size_t>(mid)].Word < word)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < end && FWords[static_cast<size_t>(lo)].Word == word ? lo : -1;
}

std::uint64_t TTextSpellCheck::PrefixKey(const QString& word)
{
    // Up to eight characters, one byte each, in the order of the words: a
    // character from 255 up counts as 255 and ends the key, so a word that
    // sorts before another never gets a larger key.
    std::uint64_t key = 0;
    int i = 0;
    for (; i < 8 && i < word.size(); ++i) {
        const char16_t c = word.at(i).unicode();
        key = (key << 8) | (c < 255 ? c : 255u);
        if (c >= 255) {
            ++i;
            break;
        }
    }
    return key << (8 * (8 - i));
}

bool TTextSpellCheck::ForceDirectoryPath(const QString& dir)
{
    if (dir.isEmpty())
        throw ETextEditError(QStringLiteral("Unable to create directory"));
    QString d = dir;
    if (d.size() > 1 && d.endsWith(QLatin1Char('/')))
        d.chop(1);
    if (d.size() < 3 || QFileInfo(d).isDir())
        return true;
    return QDir().mkpath(d);
}

void TTextSpellCheck::WriteUserDictionary()
{
    QString dir = FUserDirectory.isEmpty() ? UserDirectory() : ResolveFolder(FUserDirectory);
    if (!QFileInfo(dir).isDir() && !ForceDirectoryPath(dir))
        return;
    // Each user word once, in list order: a list opened twice holds them twice.
    QStringList words;
    for (const TWordRec& rec : FWords)
        if (rec.User && !words.contains(rec.Word))
            words.append(rec.Word);
    WriteLines(UserListPath(), words);
    FModified = false;
}

bool TTextSpellCheck::IsWordAccepted(const QString& word) const
{
    qsizetype from = 0;
    qsizetype to = word.size();
    while (from < to && IsBlankOrControl(word.at(from)))
        ++from;
    while (to > from && IsBlankOrControl(word.at(to - 1)))
        --to;
    QStringView w = QStringView(word).mid(from, to - from);
    if (w.isEmpty())
        return true;
    if ((FOptions & sscoIgnoreSingleChars) && w.size() == 1)
        return true;
    if (FOptions & sscoIgnoreWordsWithNumbers)
        for (QChar c : w)
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                return true;
    // Stripping "-" or "'" leaves nothing exactly when no character is above
    // "-" (the left strip takes every character up to the mark's code, and
    // the right strip stops at the first character above it).
    if (std::all_of(w.begin(), w.end(), [](QChar c) { return c.unicode() <= '-'; }))
        return true;
    if (FOptions & sscoTrimApostrophes)
        w = StripChars(w, QLatin1Char('\''));
    const QString lower = SpellLowerCase(w.toString());
    if (FindDictionaryWord(lower) >= 0)
        return true;
    for (const QString& skip : FSkipList)
        if (SpellLowerCase(skip) == lower)
            return true;
    return false;
}

// ================================================================ words in editors

QString TTextSpellCheck::WordAroundPosition(const TCustomTextEdit* editor, const TBufferCoord& p, const TCharSet& chars,
                                            bool useChars)
{
    if (!editor || p.Line < 1 || p.Line > editor->Lines().Count())
        return QString();
    const QString text = editor->Lines().Get(p.Line - 1);
    const int length = CellLength(text);
    if (p.Char < 1 || p.Char > length + 1)
        return QString();
    const TCharSet set = (!editor->Highlighter() || useChars) ? chars : editor->Highlighter()->IdentifierChars();
    // Cells are 1-based here; a wide character's code is never in the set.
    auto isWordCell = [&](int cell) {
        const char16_t c = CharAtCell(text, cell - 1).unicode();
        return c > 0 && c < 256 && set.test(c);
    };
    int right = p.Char;
    while (right <= length && isWordCell(right))
        ++right;
    int left = p.Char - 1;
    while (left >= 1 && isWordCell(left))
        --left;
    // The word is the cells left + 1 .. right - 1.
    if (right - 1 < left + 1)
        return QString();
    return CellMid(text, left, right - 1 - left);
}

int TTextSpellCheck::AddEditor(TCustomTextEdit* editor)
{
    if (!editor)
        return -1;
    for (size_t i = 0; i < FEditors.size(); ++i) {
        if (FEditors[i] != editor)
            continue;
        if (!FPlugins[i]) {
            // Its plugin was freed while the editor stayed: a new one.
            FPlugins[i] = new TDrawAutoSpellCheckPlugin(editor);
            FPlugins[i]->SetSpellCheck(this);
        }
        return static_cast<int>(i);
    }
    auto* plugin = new TDrawAutoSpellCheckPlugin(editor);  // the editor owns it
    plugin->SetSpellCheck(this);
    plugin->SetPenColor(FPenColor);
    plugin->SetUnderlineStyle(FUnderlineStyle);
    FEditors.emplace_back(editor);
    FPlugins.push_back(plugin);
    return static_cast<int>(FEditors.size()) - 1;
}

void TTextSpellCheck::SetEditor(TCustomTextEdit* value)
{
    if (value == FEditor)
        return;
    const int index = AddEditor(value);
    if (index >= 0) {
        FEditor = value;
        FPlugin = FPlugins[static_cast<size_t>(index)];
        FPlugin->SetSpellCheck(this);
        FPlugin->SetPenColor(FPenColor);
    } else {
        FEditor = nullptr;
        FPlugin = nullptr;
    }
}

void TTextSpellCheck::PluginGone(TDrawAutoSpellCheckPlugin* plugin)
{
    for (TDrawAutoSpellCheckPlugin*& p : FPlugins)
        if (p == plugin)
            p = nullptr;
    if (FPlugin == plugin)
        FPlugin = nullptr;
}

void TTextSpellCheck::SetPenColor(TColor value)
{
    FPenColor = value;
    if (FPlugin)
        FPlugin->SetPenColor(value);
}

void TTextSpellCheck::SetUnderlineStyle(TUnderlineStyle value)
{
    FUnderlineStyle = value;
    if (FPlugin)
        FPlugin->SetUnderlineStyle(value);
}

// ================================================================ underlining plugin

TDrawAutoSpellCheckPlugin::TDrawAutoSpellCheckPlugin(TCustomTextEdit* owner) : TTextEditPlugin(owner) {}

TDrawAutoSpellCheckPlugin::~TDrawAutoSpellCheckPlugin()
{
    if (FSpellCheck)
        FSpellCheck->PluginGone(this);
}

template <typename T>
void TDrawAutoSpellCheckPlugin::Change(T& field, T value)
{
    if (value == field)
        return;
    field = value;
    if (Owner())
        Owner()->update();
}

void TDrawAutoSpellCheckPlugin::SetPenColor(TColor value)
{
    Change(FPenColor, value);
}

void TDrawAutoSpellCheckPlugin::SetUnderlineStyle(TUnderlineStyle value)
{
    Change(FUnderlineStyle, value);
}

namespace {

// The attribute of the highlighter's token at a 1-based cell of a line, or
// the highlighter's default attribute between tokens.
TTextTokenAttr* AttributeAt(TCustomTextEdit& editor, int line, int cell)
{
    TTextCustomHighlighter& hl = *editor.Highlighter();
    const QString text = editor.Lines().Get(line - 1);
    const std::intptr_t range = line > 1 ? editor.Lines().LineRange(line - 2) : -1;
    if (range == -1)
        hl.ClearRange();
    else
        hl.RestoreRange(reinterpret_cast<void*>(range));
    hl.SetLine(text, line - 1);
    const int index = CellToIndex(text, cell - 1);
    while (!hl.AtEndOfLine()) {
        const int start = hl.TokenPosition();
        if (index >= start && index < start + hl.Token().size())
            return hl.TokenAttribute();
        if (start > index)
            break;
        hl.NextToken();
    }
    return hl.StandardAttribute(4);
}

}  // namespace

void TDrawAutoSpellCheckPlugin::PaintOverlay(TCanvas& canvas, const QRect& clip, int firstLine, int lastLine)
{
    TTextSpellCheck* checker = FSpellCheck;
    // Only the checker's current editor is checked: a plugin left on an
    // editor that was replaced has nothing of its own to underline.
    if (!checker || !(checker->Options() & sscoAutoSpellCheck) || !Owner() || checker->Editor() != Owner())
        return;
    TCustomTextEdit& editor = *Owner();
    canvas.Font = editor.Font();
    const int lastText = std::min(lastLine, editor.Lines().Count());
    for (int line = std::max(1, firstLine); line <= lastText; ++line) {
        const int length = CellLength(editor.Lines().Get(line - 1));
        int x = 1;
        while (x < length) {
            const QString word = TTextSpellCheck::WordAroundPosition(&editor, BufferCoord(x, line),
                                                                     checker->SpellWordChars(), true);
            const QPoint at = editor.DisplayPosToPixels(editor.BufferToDisplayPos(BufferCoord(x, line)));
            // Past the right edge of what is painted: the rest of the line is not.
            if (at.x() > clip.right())
                break;
            bool underline;
            if (editor.Highlighter()) {
                const TTextTokenAttr* attr = AttributeAt(editor, line, x);
                underline = attr && checker->CheckAttribs().contains(attr->Name()) && !word.isEmpty() &&
                            !checker->IsWordAccepted(word);
            } else {
                underline = !checker->IsWordAccepted(word);
            }
            if (underline)
                Underline(canvas, at, word);
            x += CellLength(word) + 1;
        }
    }
}

void TDrawAutoSpellCheckPlugin::Underline(TCanvas& canvas, const QPoint& start, const QString& word)
{
    TCustomTextEdit& editor = *Owner();
    static constexpr int MicrosoftWord[4] = {0, 1, 2, 1};
    static constexpr int CorelWordPerfect[4] = {2, 1, 0, -1};
    const int* offsets = FUnderlineStyle == usMicrosoftWord ? MicrosoftWord : CorelWordPerfect;
    const int base = start.y() + editor.RowHeight() - 3;
    const int width = canvas.TextWidth(word);
    const QColor pen = ToQColor(FPenColor);
    const QColor background = ToQColor(editor.Color());
    QPainter& painter = canvas.Painter();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int k = 0; k <= width; ++k) {
        const int x = start.x() + k;
        if (x <= editor.GutterPixels())
            continue;
        const int offset = offsets[k % 4];
        painter.setPen(offset < 0 ? background : pen);
        painter.drawPoint(x, base + offset);
    }
}
