// Spell checking in the dictation screens' editors with the word list the
// build ships: a misspelt word typed into the editor gets the wavy red
// underline under it and nowhere else.

#include "ScreensTestSupport.h"

#include "TextEdit.h"
#include "TextEditUtils.h"
#include "UDictationEditor.h"
#include "UFrmFreeSentence.h"
#include "UFrmSingleSentence.h"

#include <QtCore/QFile>
#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtGui/QPixmap>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The columns of the editor's picture that hold pure red (the underline).
QList<int> RedColumns(QWidget* editor)
{
    const QImage image = editor->grab().toImage();
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60) {
                columns << x;
                break;
            }
        }
    return columns;
}

// The pixel x of a 1-based cell of line 1.
int CellX(TTextEdit* editor, int cell)
{
    return editor->DisplayPosToPixels(editor->BufferToDisplayPos(BufferCoord(cell, 1))).x();
}

class DictationSpell : public TScreenTest {
protected:
    void SetUp() override
    {
        TScreenTest::SetUp();
        const QString shipped = QStringLiteral(PIBO_BUILT_PROGRAM_FOLDER "data/dict/english.1-0-0.dic");
        ASSERT_TRUE(QFile::exists(shipped)) << "the build makes the word list in " << shipped.toStdString();
        ASSERT_TRUE(QFile::copy(shipped, Env.File(QStringLiteral("data/dict/english.1-0-0.dic"))));
        Wav = Env.File(QStringLiteral("media/lesson.wav"));
        WriteToneLesson(Wav, {600, 600});
    }
    void FreeScreen() override
    {
        Single.reset();
        Free.reset();
    }
    template <typename T>
    void Show(T& screen)
    {
        screen->Timer->stop();
        screen->SetMediaFile(Wav);
        screen->resize(900, 600);
        screen->show();
        ProcessEvents();
        ASSERT_TRUE(screen->SpellListOpen());
    }

    QString Wav;
    std::unique_ptr<TFrmSingleSentence> Single;
    std::unique_ptr<TFrmFreeSentence> Free;
};

struct TUnderlineCase {
    const char* text;
    int firstCell;  // 1-based cells of the misspelt word, 0: none
    int endCell;
};

const TUnderlineCase UnderlineCases[] = {
    {"spring is warm", 0, 0},
    {"sprnig is warm", 1, 7},
    {"spring is wram", 11, 15},
    {"It's a wonderful day", 0, 0},  // the apostrophe belongs to the word
};

void CheckUnderlines(TTextEdit* editor, QWidget* widget)
{
    for (const TUnderlineCase& c : UnderlineCases) {
        SCOPED_TRACE(c.text);
        SetEditorText(editor, QString::fromUtf8(c.text));
        const QList<int> red = RedColumns(widget);
        if (c.firstCell == 0) {
            EXPECT_TRUE(red.isEmpty()) << red.size() << " red columns";
            continue;
        }
        ASSERT_FALSE(red.isEmpty());
        const int left = CellX(editor, c.firstCell);
        const int right = CellX(editor, c.endCell);
        EXPECT_GE(red.first(), left);
        EXPECT_LE(red.last(), right);
        // The wave runs under the whole word.
        EXPECT_GE(red.size(), (right - left) * 3 / 4);
    }
}

TEST_F(DictationSpell, TheSingleScreenUnderlinesAMisspeltAnswerWord)
{
    Single = std::make_unique<TFrmSingleSentence>();
    Show(Single);
    CheckUnderlines(Single->Input, Single->InputWidget);
}

TEST_F(DictationSpell, TheFreeScreenUnderlinesPastItsLineNumbers)
{
    Free = std::make_unique<TFrmFreeSentence>();
    Show(Free);
    CheckUnderlines(Free->rdeEdit, Free->rdeEditWidget);
}

}  // namespace
