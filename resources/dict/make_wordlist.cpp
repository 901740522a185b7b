// Makes the English word list of the spell checker from the system's word
// lists: every entry lower-cased as look-ups lower-case typed words, only
// entries of ASCII letters, digits, "-" and "'", each once, sorted, written
// as ANSI text with CR LF ends.
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

bool Acceptable(const QString& word)
{
    if (word.isEmpty())
        return false;
    for (QChar c : word) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' || u == '\'';
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
