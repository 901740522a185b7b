// The text editor's fuzz entries: files loaded into the line store, and the
// spell checker's word lists.

#include "FuzzSupport.h"

#include "AnsiText.h"
#include "TextEditLines.h"
#include "TextSpellCheck.h"

#include <QtCore/QBuffer>

#include <algorithm>

namespace PiboFuzz {

// ---------------------------------------------------------------- text editor

// A file loaded into the editor's line store, then saved.
void RunTextFile(const std::uint8_t* data, std::size_t size)
{
    const TModeInput in = SplitMode(data, size, 2);
    Guarded([&] {
        TTextEditStringList lines;
        if (in.Mode == 0) {
            lines.LoadFromBytes(in.Body);
        } else {
            QByteArray bytes = in.Body;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            lines.LoadFromStream(buffer);
        }
        lines.Text();
        lines.SaveToBytes();
    });
}

QList<QByteArray> TextFileSeeds()
{
    const QString text = QStringLiteral("Spring is warm.\r\n春天很暖和。\r\n\tTabbed € line\r\nlast");
    QList<QByteArray> seeds;
    Guarded([&] {
        TTextEditStringList lines;
        lines.SetText(text);
        seeds.append(WithMode(0, lines.SaveToBytes()));
    });
    seeds.append(WithMode(0, QByteArray("\xEF\xBB\xBF") + text.toUtf8()));
    seeds.append(WithMode(1, QByteArray("\xFF\xFE") +
                                 QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2)));
    seeds.append(WithMode(1, QByteArray("5\x80\r\n")));
    return seeds;
}

// ---------------------------------------------------------------- spell-check lists

// A language's lists as the spell checker opens them: the input holds the
// main list, then (after a NUL) the user list, then the skip list.
void RunSpellLists(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = Bytes(data, size);
    const QList<QByteArray> parts = input.split('\0');
    const QString folder = FreshFolder("spell");
    WriteFile(folder + QStringLiteral("English.1-0-0.dic"), parts.value(0));
    if (parts.size() > 1)
        WriteFile(folder + QStringLiteral("English.user.dic"), parts.value(1));
    if (parts.size() > 2)
        WriteFile(folder + QStringLiteral("English.SkipWord.dic"), parts.value(2));
    Guarded([&] {
        TTextSpellCheck spell;
        spell.SetDictionaryPath(folder);
        spell.SetUserDirectory(folder);
        spell.OpenLanguageDictionary(QStringLiteral("english"));
        for (const QString& word : {QStringLiteral("apple"), QStringLiteral("Zebra"), QStringLiteral("éclair"),
                                    QStringLiteral("x"), QString()})
            spell.IsWordAccepted(word);
        const int count = std::min(spell.WordCount(), 50);
        for (int i = 0; i < count; ++i)
            spell.FindDictionaryWord(spell.Words(i).Word);
        spell.WriteUserDictionary();
    });
}

QList<QByteArray> SpellListSeeds()
{
    const QByteArray main = QByteArray("apple\r\nbanana\r\ncherry\r\nzebra\r\n") + StringToAnsi(QStringLiteral("\u00e9clair\r\n"));
    return {
        main,
        main + '\0' + QByteArray("myword\r\nother\r\n") + '\0' + QByteArray("Skipped\r\n\r\nskipped\r\n"),
    };
}

}  // namespace PiboFuzz
