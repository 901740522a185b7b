// The waveform of the audio dictation screens' player strip: when the strip
// changes size, the waveform is read again for its new width.

#include "ScreensTestSupport.h"

#include "SndOscope.h"
#include "UFrmFreeSentence.h"
#include "UFrmSingleSentence.h"
#include "UPiboAudioPlay.h"

#include <QtCore/QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class DictationWaveform : public TScreenTest {
protected:
    void FreeScreen() override { Screen.reset(); }

    std::unique_ptr<TDictationScreen> Screen;
};

// The columns of the right half of the plot that show sound.
int FilledRightHalf(TSndOscope* scope)
{
    const int width = scope->PlotRect().width();
    int filled = 0;
    for (int x = width / 2; x < width; ++x)
        filled += scope->Data()[x] != 0;
    return filled;
}

TEST_F(DictationWaveform, AWiderStripShowsTheWholeLessonAgain)
{
    const QString wav = Env.File(QStringLiteral("media/lesson.wav"));
    WriteToneLesson(wav, {600, 600, 600});
    struct Case {
        const char* name;
        std::function<TDictationScreen*()> make;
    };
    const Case cases[] = {
        {"single", [] { return new TFrmSingleSentence; }},
        {"free", [] { return new TFrmFreeSentence; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Screen.reset(c.make());
        Screen->Timer->stop();
        Screen->SetMediaFile(wav);
        Screen->resize(800, 600);
        Screen->show();
        ProcessEvents();
        ASSERT_NE(Screen->AudioPlayer(), nullptr);
        TSndOscope* scope = Screen->AudioPlayer()->Oscope();
        ASSERT_NE(scope, nullptr);
        const int before = scope->PlotRect().width();
        const int filledBefore = FilledRightHalf(scope);
        ASSERT_GT(filledBefore, before / 8);
        // A resize of the strip alone would leave every column empty.
        Screen->resize(1300, 600);
        const int after = scope->PlotRect().width();
        ASSERT_GT(after, before + 300);
        EXPECT_GT(FilledRightHalf(scope), filledBefore);
        Screen.reset();
        ProcessEvents();
    }
}

}  // namespace
