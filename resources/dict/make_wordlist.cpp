// Makes the English word list of the spell checker from the system's word
// lists: every entry lower-cased as look-ups lower-case typed words, only
// entries of ASCII letters, digits, "-", "'" and accented letters that GBK
// writes (é, è, ü, ...; an entry with a letter GBK lacks, such as ç or ñ, is
// left out), each once, sorted, written as ANSI text (GBK) with CR LF ends.
//
// make_wordlist <output.dic> <list> [<list> ...]

#include "AnsiText.h"
#include "TextSpellCheck.h"

#include <QtCore/QFile>
#include <QtCore/QSaveFile>
#include <QtCore/QSet>
#include <QtCore/QStringList>

#include <algorithm>
#include <cstdio>

namespace {

// A letter beyond ASCII that GBK has: two bytes that read back as it.
bool GbkLetter(QChar c)
{
    if (!c.isLetter() || c.isSurrogate() || c.script() != QChar::Script_Latin)
        return false;
    const QString letter(c);
    const QByteArray bytes = StringToAnsi(letter);
    return bytes.size() == 2 && AnsiToString(bytes) == letter;
}

bool Acceptable(const QString& word)
{
    if (word.isEmpty())
        return false;
    for (QChar c : word) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' || u == '\''
                        || (u >= 0x80 && GbkLetter(c));
        if (!ok)
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_wordlist <output.dic> <list> [<list> ...]\n");
        return 2;
    }
    QSet<QString> words;
    for (int i = 2; i < argc; ++i) {
        QFile list(QString::fromLocal8Bit(argv[i]));
        if (!list.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "make_wordlist: cannot read the word list %s (install the packages wamerican and "
                                 "wbritish)\n", argv[i]);
            return 1;
        }
        const QStringList lines = QString::fromUtf8(list.readAll()).split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            const QString word = SpellLowerCase(line.trimmed());
            if (Acceptable(word))
                words.insert(word);
        }
    }
    QStringList sorted(words.begin(), words.end());
    std::sort(sorted.begin(), sorted.end());
    QByteArray bytes;
    for (const QString& word : sorted) {
        AppendAnsi(bytes, word);
        bytes += "\r\n";
    }
    QSaveFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        std::fprintf(stderr, "make_wordlist: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
