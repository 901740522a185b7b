// The skinned controls as screens use them: placed by layouts (which size
// them from their pictures and captions) and reached with the keyboard.

#include "UPiboComponent.h"

#include "TestSupport.h"

#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLineEdit>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Whether w is shown at its full size inside its window.
bool ShownWhole(const QWidget* w)
{
    if (!w->isVisible() || w->width() <= 0 || w->height() <= 0)
        return false;
    const QRect inWindow(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    return w->window()->rect().contains(inWindow);
}

}  // namespace

// A row layout with a stretch before the controls, as the screens' bars have
// it: every control keeps the size of its picture, none is squeezed to nothing.
TEST(SkinnedControlsInLayouts, EveryKindKeepsItsPictureSizeBesideAStretch)
{
    QWidget window;
    auto* rows = new QVBoxLayout(&window);
    std::vector<std::pair<TPiboSpeedButton*, QSize>> buttons;
    QHBoxLayout* row = nullptr;
    for (int kind = psbtAddSentence; kind <= psbtCheckButton; ++kind) {
        if (kind % 8 == 0) {
            row = new QHBoxLayout;
            row->addStretch(1);
            rows->addLayout(row);
        }
        auto* button = new TPiboSpeedButton(&window);
        button->SetPiboSpeedButtonType(TPiboSpeedButtonType(kind));
        buttons.emplace_back(button, button->size());
        row->addWidget(button);
    }
    auto* checks = new QHBoxLayout;
    checks->addStretch(1);
    auto* check = new TPiboCheckBox(&window);
    auto* label = new QLineEdit(QStringLiteral("仅播放选中的"), &window);
    checks->addWidget(check);
    checks->addWidget(label);
    rows->addLayout(checks);
    window.resize(1200, 500);
    window.show();
    ProcessEvents();

    for (const auto& [button, size] : buttons) {
        SCOPED_TRACE(int(button->PiboSpeedButtonType()));
        EXPECT_EQ(button->size(), size);
        EXPECT_TRUE(ShownWhole(button));
    }
    EXPECT_EQ(check->size(), QSize(13, 13));
    EXPECT_TRUE(ShownWhole(check));
}

TEST(SkinnedControlsInLayouts, ACaptionWiderThanThePictureWidensTheButton)
{
    QWidget window;
    auto* row = new QHBoxLayout(&window);
    auto* fits = new TPiboSpeedButton(&window);
    fits->SetPiboSpeedButtonType(pbstInfoButton);
    fits->SetCaption(QStringLiteral("完成提交"));
    auto* wide = new TPiboSpeedButton(&window);
    wide->SetPiboSpeedButtonType(psbtPlay);
    const QString caption = QStringLiteral("一个比图片宽得多的标题");
    wide->SetCaption(caption);
    row->addWidget(fits);
    row->addWidget(wide);
    row->addStretch(1);
    window.resize(600, 80);
    window.show();
    ProcessEvents();

    EXPECT_EQ(fits->size(), QSize(79, 23));
    EXPECT_GE(wide->width(), TextWidthOf(wide->Font, caption));
    EXPECT_GE(wide->height(), 13);
    EXPECT_TRUE(ShownWhole(wide));
}

// Tab reaches buttons and check boxes, Space presses the focused one; a click
// with the mouse leaves the focus where it was.
TEST(SkinnedControlsOnTheKeyboard, TabReachesThemAndSpacePressesThem)
{
    QWidget window;
    auto* row = new QHBoxLayout(&window);
    auto* edit = new QLineEdit(&window);
    auto* submit = new TPiboSpeedButton(&window);
    submit->SetPiboSpeedButtonType(pbstInfoButton);
    submit->SetCaption(QStringLiteral("完成提交"));
    auto* play = new TPiboSpeedButton(&window);
    play->SetPiboSpeedButtonType(psbtPlay);
    play->SetButtonEnabled(false);
    auto* check = new TPiboCheckBox(&window);
    for (QWidget* w : std::initializer_list<QWidget*>{edit, submit, play, check})
        row->addWidget(w);
    int submitted = 0, played = 0;
    QList<bool> checkedInHandler;
    submit->OnClick = [&submitted] { ++submitted; };
    play->OnClick = [&played] { ++played; };
    check->OnClick = [&] { checkedInHandler << check->Checked(); };
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    ProcessEvents();
    ASSERT_TRUE(edit->hasFocus());

    QTest::mouseClick(submit, Qt::LeftButton, Qt::NoModifier, submit->rect().center());
    EXPECT_EQ(submitted, 1);
    EXPECT_TRUE(edit->hasFocus());

    QTest::keyClick(edit, Qt::Key_Tab);
    ASSERT_TRUE(submit->hasFocus());
    QTest::keyClick(submit, Qt::Key_Space);
    EXPECT_EQ(submitted, 2);
    // Other keys are not a press.
    QTest::keyClick(submit, Qt::Key_A);
    EXPECT_EQ(submitted, 2);

    // A disabled button is reached but swallows the press as it swallows a click.
    QTest::keyClick(submit, Qt::Key_Tab);
    ASSERT_TRUE(play->hasFocus());
    QTest::keyClick(play, Qt::Key_Space);
    EXPECT_EQ(played, 0);

    QTest::keyClick(play, Qt::Key_Tab);
    ASSERT_TRUE(check->hasFocus());
    QTest::keyClick(check, Qt::Key_Space);
    EXPECT_TRUE(check->Checked());
    EXPECT_EQ(checkedInHandler, QList<bool>{true});
}
