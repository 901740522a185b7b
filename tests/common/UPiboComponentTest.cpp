#include "UPiboComponent.h"

#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QHash>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPalette>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Test pictures: solid pictures of a colour of their own, so that a grab of the
// window tells which picture a control drew.
// ---------------------------------------------------------------------------

constexpr QRgb Background = qRgb(1, 2, 3);
constexpr QRgb Magenta = qRgb(255, 0, 255);

// Registers pictures under the names a test uses and puts back what was
// registered before when it goes.
class TTestPictures {
public:
    TTestPictures() = default;
    TTestPictures(const TTestPictures&) = delete;
    TTestPictures& operator=(const TTestPictures&) = delete;

    ~TTestPictures()
    {
        for (const TSaved& saved : FSaved) {
            if (saved.Existed)
                RegisterBitmapResource(saved.Name, [image = saved.Image] { return image; });
            else
                UnregisterBitmapResource(saved.Name);
        }
    }

    // A solid picture in a new colour; returns the colour.
    QRgb Add(const QString& name, QSize size)
    {
        const QRgb colour = NextColour();
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        Add(name, image, colour);
        return colour;
    }

    void Add(const QString& name, const QImage& image, QRgb colour)
    {
        Save(name);
        RegisterBitmapResource(name, [image] { return image; });
        FNames.insert(colour, name);
    }

    // Takes the picture away, as one the program does not have.
    void AddMissing(const QString& name)
    {
        Save(name);
        UnregisterBitmapResource(name);
    }

    // The picture whose colour this is, "background" or the colour in hex.
    QString NameOf(QRgb pixel) const
    {
        pixel |= 0xFF000000;
        if (pixel == Background)
            return QStringLiteral("background");
        return FNames.value(pixel, QStringLiteral("#%1").arg(pixel & 0xFFFFFF, 6, 16, QLatin1Char('0')));
    }

    QRgb NextColour()
    {
        for (;;) {
            ++FCount;
            const QRgb colour = qRgb(40 + (FCount * 53) % 180, 40 + (FCount * 97) % 170, 30 + (FCount * 29) % 190);
            if (!FNames.contains(colour) && !FUsed.contains(colour)) {
                FUsed.insert(colour, true);
                return colour;
            }
        }
    }

private:
    struct TSaved {
        QString Name;
        bool Existed;
        QImage Image;
    };

    void Save(const QString& name)
    {
        for (const TSaved& saved : FSaved)
            if (saved.Name == name)
                return;
        const bool existed = BitmapResourceExists(name);
        FSaved.push_back({name, existed, existed ? LoadBitmapResource(name) : QImage()});
    }

    std::vector<TSaved> FSaved;
    QHash<QRgb, QString> FNames;
    QHash<QRgb, bool> FUsed;
    int FCount = 0;
};

// A shown window with a plain background for the controls under test.
class TTestWindow : public QWidget {
public:
    TTestWindow()
    {
        QPalette palette;
        palette.setColor(QPalette::Window, QColor::fromRgb(Background));
        setPalette(palette);
        setAutoFillBackground(true);
        resize(320, 160);
        show();
        ProcessEvents();
    }

    QImage Grab() { return grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

// ---------------------------------------------------------------------------
// Synthetic mouse input
// ---------------------------------------------------------------------------

enum class TStep { Move, Leave, LeftDown, LeftUp, RightDown, Disable };

void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button, QPoint pos = {1, 1})
{
    const QPointF local(pos);
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, local, widget->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void SendLeave(QWidget* widget)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget)
{
    SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton);
}

// Runs a step on the widget that receives the mouse; Disable is the caller's.
void RunMouseStep(QWidget* widget, TStep step)
{
    switch (step) {
    case TStep::Move:
        SendMouse(widget, QEvent::MouseMove, Qt::NoButton);
        break;
    case TStep::Leave:
        SendLeave(widget);
        break;
    case TStep::LeftDown:
        SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton);
        break;
    case TStep::LeftUp:
        SendMouse(widget, QEvent::MouseButtonRelease, Qt::LeftButton);
        break;
    case TStep::RightDown:
        SendMouse(widget, QEvent::MouseButtonPress, Qt::RightButton);
        break;
    case TStep::Disable:
        break;
    }
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject {
public:
    explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

// ---------------------------------------------------------------------------
// TPiboSpeedButton
// ---------------------------------------------------------------------------

// The pictures of the kinds the tests use; an empty name is the normal picture.
struct TKindPictures {
    TPiboSpeedButtonType Kind;
    const char* Normal;
    const char* Disabled;
    const char* Hover;
    QSize Size;
};

const TKindPictures KindPictures[] = {
    {psbtAddSentence, "SpeedButtonNormalBG_AddSentence", "SpeedButtonEnabledBG_AddSentence", "", {16, 16}},
    {psbtPlay, "SpeedButtonNormalBG_Play", "SpeedButtonEnabledBG_Play", "", {13, 13}},
    {psbtChina, "SpeedButtonNormalBG_China", "SpeedButtonEnabledBG_China", "", {15, 16}},
    {psbtEnglish, "SpeedButtonNormalBG_English", "SpeedButtonEnabledBG_English", "", {15, 16}},
    {psbtSound, "SpeedButtonNormalBG_Sound", "SpeedButtonEnabledBG_Sound", "", {17, 16}},
    {psbtClose, "FormCloseNormal", "", "", {16, 16}},
    {pbstInfoButton, "ShowInfoButtonNormal", "ShowInfoButtonEnabled", "ShowInfoButtonMove", {79, 23}},
    {pbstLoginButton, "LoginButtonNormal", "", "LoginButtonMove", {75, 26}},
    {psbtRecordListen, "RecordListenNormal", "RecordListenEnabled", "", {167, 49}},
    {psbtRecordSpeak, "RecordSpeakNormal", "RecordSpeakEnabled", "", {167, 49}},
    {psbtWorkPlay, "WorkPlayNormal", "WorkPlayEnabled", "WorkPlayMove", {19, 19}},
    {psbtCheckButton, "CheckButtonNormal", "", "CheckButtonMove", {94, 29}},
};

const TKindPictures& PicturesOf(TPiboSpeedButtonType kind)
{
    for (const TKindPictures& pictures : KindPictures)
        if (pictures.Kind == kind)
            return pictures;
    throw std::logic_error("kind without test pictures");
}

class SpeedButtonTest : public ::testing::Test {
protected:
    void RegisterKind(TPiboSpeedButtonType kind)
    {
        const TKindPictures& kindPictures = PicturesOf(kind);
        for (const char* name : {kindPictures.Normal, kindPictures.Disabled, kindPictures.Hover})
            if (*name)
                Pictures.Add(QString::fromLatin1(name), kindPictures.Size);
    }

    TPiboSpeedButton* NewButton(TPiboSpeedButtonType kind)
    {
        RegisterKind(kind);
        auto* button = new TPiboSpeedButton(&Window);
        button->move(10, 10);
        button->show();
        button->SetPiboSpeedButtonType(kind);
        return button;
    }

    // The picture drawn at a point of the button.
    QString PictureAt(TPiboSpeedButton* button, QPoint point = {3, 3})
    {
        return Pictures.NameOf(Window.Grab().pixel(button->pos() + point));
    }

    TTestPictures Pictures;
    TTestWindow Window;
};

TEST_F(SpeedButtonTest, ConstructionDefaults)
{
    TPiboSpeedButton button(&Window);
    EXPECT_EQ(button.size(), QSize(16, 16));
    EXPECT_TRUE(button.ButtonEnabled());
    EXPECT_EQ(button.Font.Name, QStringLiteral("宋体"));
    EXPECT_EQ(button.Font.Size, 9);
    EXPECT_EQ(button.Font.Color, TColor(0xFFFFFF));
    EXPECT_EQ(button.cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(button.PiboSpeedButtonType(), psbtAddSentence);
}

TEST_F(SpeedButtonTest, MouseAndEnabledStateChooseThePicture)
{
    struct TCase {
        TPiboSpeedButtonType Kind;
        std::vector<TStep> Steps;
        const char* Picture;
        const char* Role;
    };
    const TCase cases[] = {
        {psbtWorkPlay, {}, "WorkPlayNormal", "normal"},
        {psbtWorkPlay, {TStep::Move}, "WorkPlayMove", "hover"},
        {psbtWorkPlay, {TStep::Move, TStep::Leave}, "WorkPlayNormal", "normal"},
        // The down picture of every kind is the normal one.
        {psbtWorkPlay, {TStep::Move, TStep::LeftDown}, "WorkPlayNormal", "down"},
        {psbtWorkPlay, {TStep::Move, TStep::LeftDown, TStep::LeftUp}, "WorkPlayMove", "hover"},
        {psbtWorkPlay, {TStep::Move, TStep::RightDown}, "WorkPlayMove", "hover"},
        // Disabled wins over pressed and hover.
        {psbtWorkPlay, {TStep::Move, TStep::LeftDown, TStep::Disable}, "WorkPlayEnabled", "disabled"},
        {psbtPlay, {TStep::Move}, "SpeedButtonNormalBG_Play", "hover"},
        {psbtPlay, {TStep::Disable}, "SpeedButtonEnabledBG_Play", "disabled"},
        {pbstLoginButton, {TStep::Move}, "LoginButtonMove", "hover"},
        {pbstLoginButton, {TStep::Move, TStep::LeftDown}, "LoginButtonNormal", "down"},
        {pbstLoginButton, {TStep::Disable, TStep::Move}, "LoginButtonNormal", "disabled"},
        {pbstInfoButton, {TStep::Move}, "ShowInfoButtonMove", "hover"},
        {pbstInfoButton, {TStep::Disable}, "ShowInfoButtonEnabled", "disabled"},
        {psbtClose, {TStep::Move}, "FormCloseNormal", "hover"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 after %2 steps").arg(c.Picture).arg(c.Steps.size()).toStdString());
        std::unique_ptr<TPiboSpeedButton> button(NewButton(c.Kind));
        for (TStep step : c.Steps) {
            if (step == TStep::Disable)
                button->SetButtonEnabled(false);
            else
                RunMouseStep(button.get(), step);
        }
        EXPECT_EQ(PictureAt(button.get()), QString::fromLatin1(c.Picture));
        EXPECT_EQ(button->CurrentPictureRole(), QString::fromLatin1(c.Role));
    }
}

TEST_F(SpeedButtonTest, DisabledButtonSwallowsClicksExceptForFourKinds)
{
    struct TCase {
        TPiboSpeedButtonType Kind;
        bool Enabled;
        bool Fires;
    };
    const TCase cases[] = {
        {psbtChina, false, true},        {psbtEnglish, false, true},       {psbtSound, false, true},
        {psbtRecordListen, false, true}, {psbtPlay, false, false},         {psbtAddSentence, false, false},
        {pbstLoginButton, false, false}, {psbtRecordSpeak, false, false},  {psbtCheckButton, false, false},
        {psbtPlay, true, true},          {pbstLoginButton, true, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(QStringLiteral("kind %1 enabled %2").arg(c.Kind).arg(c.Enabled).toStdString());
        std::unique_ptr<TPiboSpeedButton> button(NewButton(c.Kind));
        button->SetButtonEnabled(c.Enabled);
        int clicks = 0;
        button->OnClick = [&clicks] { ++clicks; };
        Click(button.get());
        EXPECT_EQ(clicks, c.Fires ? 1 : 0);
    }
}

TEST_F(SpeedButtonTest, DisabledSoundButtonShowsItsDisabledPictureAndStillClicks)
{
    std::unique_ptr<TPiboSpeedButton> button(NewButton(psbtSound));
    button->SetButtonEnabled(false);
    int clicks = 0;
    button->OnClick = [&clicks] { ++clicks; };
    Click(button.get());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(PictureAt(button.get()), QStringLiteral("SpeedButtonEnabledBG_Sound"));
}

TEST_F(SpeedButtonTest, TakesTheSizeOfTheNormalPicture)
{
    for (TPiboSpeedButtonType kind : {pbstInfoButton, psbtRecordListen, psbtPlay}) {
        RegisterKind(kind);
        TPiboSpeedButton button(&Window);
        button.resize(200, 50);
        button.SetPiboSpeedButtonType(kind);
        EXPECT_EQ(button.size(), PicturesOf(kind).Size) << kind;
    }
}

TEST_F(SpeedButtonTest, SettingTheSameKindLoadsThePicturesAgain)
{
    std::unique_ptr<TPiboSpeedButton> button(NewButton(psbtWorkPlay));
    const QRgb newNormal = Pictures.Add(QStringLiteral("WorkPlayNormal"), {19, 19});
    button->SetPiboSpeedButtonType(psbtWorkPlay);
    EXPECT_EQ(Window.Grab().pixel(button->pos() + QPoint(3, 3)), newNormal);
}

TEST_F(SpeedButtonTest, MissingPictureRaisesFromTheSetter)
{
    for (const char* missing : {"WorkPlayNormal", "WorkPlayEnabled", "WorkPlayMove"}) {
        RegisterKind(psbtWorkPlay);
        Pictures.AddMissing(QString::fromLatin1(missing));
        TPiboSpeedButton button(&Window);
        EXPECT_THROW(button.SetPiboSpeedButtonType(psbtWorkPlay), EResNotFound) << missing;
    }
}

TEST_F(SpeedButtonTest, MagentaPixelsAreTransparentWhateverTheCornerColour)
{
    // The bottom-left pixel would be the automatic transparent colour; the
    // speed button's pictures use magenta instead.
    const QRgb body = Pictures.NextColour();
    const QRgb corner = Pictures.NextColour();
    QImage image(19, 19, QImage::Format_RGB32);
    image.fill(body);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, Magenta);
    image.setPixel(0, 18, corner);

    std::unique_ptr<TPiboSpeedButton> button(NewButton(psbtWorkPlay));
    Pictures.Add(QStringLiteral("WorkPlayNormal"), image, body);
    button->SetPiboSpeedButtonType(psbtWorkPlay);
    const QImage shot = Window.Grab();
    EXPECT_EQ(shot.pixel(button->pos() + QPoint(2, 2)), Background);
    EXPECT_EQ(shot.pixel(button->pos() + QPoint(0, 18)), corner);
    EXPECT_EQ(shot.pixel(button->pos() + QPoint(10, 10)), body);
}

TEST_F(SpeedButtonTest, CaptionIsCentredAndOnPaintRunsLast)
{
    std::unique_ptr<TPiboSpeedButton> button(NewButton(psbtCheckButton));
    button->SetCaption(QStringLiteral("确定"));
    button->OnPaint = [](TCanvas& canvas) { canvas.Painter().fillRect(QRect(0, 0, 1, 1), Qt::red); };
    const QImage shot = Window.Grab().copy(button->geometry());

    EXPECT_EQ(shot.pixel(0, 0), qRgb(255, 0, 0));
    QRect text;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (qRed(shot.pixel(x, y)) > 235 && qGreen(shot.pixel(x, y)) > 235 && qBlue(shot.pixel(x, y)) > 235)
                text |= QRect(x, y, 1, 1);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_NEAR(text.center().x(), 94 / 2, 3);
    EXPECT_NEAR(text.center().y(), 29 / 2, 3);
}

// ---------------------------------------------------------------------------
// TPiboMainButton
// ---------------------------------------------------------------------------

class MainButtonTest : public ::testing::Test {
protected:
    void RegisterType(const QString& kind)
    {
        for (const char* prefix : {"MainButtonLeftBG_", "MainButtonMoveLeftBG_", "MainButtonDownLeftBG_"})
            Pictures.Add(QString::fromLatin1(prefix) + kind, {96, 36});
    }

    QString PictureAt(TPiboMainButton* button)
    {
        return Pictures.NameOf(Window.Grab().pixel(button->pos() + QPoint(2, 2)));
    }

    TTestPictures Pictures;
    TTestWindow Window;
};

TEST_F(MainButtonTest, EachTypeShowsItsPicturesForHoverAndPress)
{
    const std::pair<TMainButtonType, const char*> types[] = {
        {mbtLiuLan, "LiuLan"}, {mbtDanJu, "DanJu"},     {mbtZiYou, "ZiYou"},   {mbtKouYu, "KouYu"},
        {mbtFanYi, "FanYi"},   {mbtChengJi, "ChengJi"}, {mbtZhiZuo, "ZhiZuo"},
    };
    const std::pair<TStep, const char*> sequence[] = {
        {TStep::Move, "MainButtonMoveLeftBG_"}, {TStep::LeftDown, "MainButtonDownLeftBG_"},
        {TStep::LeftUp, "MainButtonMoveLeftBG_"}, {TStep::Leave, "MainButtonLeftBG_"},
        {TStep::LeftDown, "MainButtonDownLeftBG_"}, {TStep::RightDown, "MainButtonDownLeftBG_"},
    };
    for (const auto& [type, kind] : types) {
        SCOPED_TRACE(kind);
        RegisterType(QString::fromLatin1(kind));
        TPiboMainButton button(&Window);
        button.move(5, 5);
        button.show();
        EXPECT_EQ(button.size(), QSize(96, 36));
        button.SetMainButtonType(type);
        EXPECT_EQ(PictureAt(&button), QStringLiteral("MainButtonLeftBG_") + QString::fromLatin1(kind));
        for (const auto& [step, prefix] : sequence) {
            RunMouseStep(button.PaintBox(), step);
            EXPECT_EQ(PictureAt(&button), QString::fromLatin1(prefix) + QString::fromLatin1(kind));
        }
    }
}

TEST_F(MainButtonTest, SettingTheSameTypeLoadsThePicturesAgain)
{
    RegisterType(QStringLiteral("DanJu"));
    TPiboMainButton button(&Window);
    button.show();
    button.SetMainButtonType(mbtDanJu);
    const QRgb newNormal = Pictures.Add(QStringLiteral("MainButtonLeftBG_DanJu"), {96, 36});
    button.SetMainButtonType(mbtDanJu);
    EXPECT_EQ(Window.Grab().pixel(button.pos() + QPoint(2, 2)), newNormal);
}

TEST_F(MainButtonTest, MissingPictureRaisesFromTheSetter)
{
    RegisterType(QStringLiteral("FanYi"));
    Pictures.AddMissing(QStringLiteral("MainButtonDownLeftBG_FanYi"));
    TPiboMainButton button(&Window);
    EXPECT_THROW(button.SetMainButtonType(mbtFanYi), EResNotFound);
}

TEST_F(MainButtonTest, ClickOnTheFaceFiresOnClick)
{
    RegisterType(QStringLiteral("LiuLan"));
    TPiboMainButton button(&Window);
    button.show();
    button.SetMainButtonType(mbtLiuLan);
    int clicks = 0;
    button.OnClick = [&clicks] { ++clicks; };
    Click(button.PaintBox());
    EXPECT_EQ(clicks, 1);
}

// ---------------------------------------------------------------------------
// TPiboPageButton
// ---------------------------------------------------------------------------

TEST(PageButtonCaption, OneDoubleByteCharacterPerLine)
{
    const QString xue = QStringLiteral("学"), ying = QStringLiteral("英"), yu = QStringLiteral("语");
    struct TCase {
        QString Caption;
        QStringList Lines;
    };
    const TCase cases[] = {
        {xue + ying + yu, {xue, ying, yu}},
        {xue + ying + QStringLiteral("a"), {xue, ying}},  // the odd last byte is lost
        {QStringLiteral("abc"), {QStringLiteral("ab")}},
        {QStringLiteral("a"), {}},
        {QString(), {}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(PageButtonCaptionLines(c.Caption), c.Lines) << c.Caption.toStdString();
}

class PageButtonTest : public ::testing::Test {
protected:
    PageButtonTest()
    {
        for (const char* state : {"Up", "Down"}) {
            const QString prefix = QStringLiteral("PageButton") + QString::fromLatin1(state);
            Pictures.Add(prefix + QStringLiteral("TopBG"), {26, 5});
            Pictures.Add(prefix + QStringLiteral("BottomBG"), {26, 5});
            Pictures.Add(prefix + QStringLiteral("CenterBG"), {26, 2});
        }
        for (const char* icon : {"PageButtonKeJian", "PageButtonMedia", "PageButtonRecent"})
            AddIcon(QString::fromLatin1(icon));
    }

    // A 20 x 20 icon in a colour of its own whose left column has the
    // automatic transparent colour of the bottom-left pixel.
    QRgb AddIcon(const QString& name)
    {
        const QRgb colour = Pictures.NextColour();
        QImage image(20, 20, QImage::Format_RGB32);
        image.fill(colour);
        for (int y = 0; y < 20; ++y)
            image.setPixel(0, y, qRgb(0, 0, 200));
        Pictures.Add(name, image, colour);
        return colour;
    }

    TPiboPageButton* NewButton()
    {
        auto* button = new TPiboPageButton(&Window);
        button->move(10, 10);
        button->show();
        return button;
    }

    QString PictureAt(TPiboPageButton* button, QPoint point)
    {
        return Pictures.NameOf(Window.Grab().pixel(button->pos() + point));
    }

    // The runs of lines of the caption area that hold caption-coloured pixels.
    int CaptionLineCount(TPiboPageButton* button, QColor colour)
    {
        const QImage shot = Window.Grab().copy(button->geometry());
        int runs = 0;
        bool inRun = false;
        for (int y = 26; y < shot.height() - 5; ++y) {
            bool hit = false;
            for (int x = 4; x < 24; ++x) {
                const QColor pixel = shot.pixelColor(x, y);
                hit = hit || (std::abs(pixel.red() - colour.red()) < 40 && std::abs(pixel.green() - colour.green()) < 40 &&
                              std::abs(pixel.blue() - colour.blue()) < 40);
            }
            if (hit && !inRun)
                ++runs;
            inRun = hit;
        }
        return runs;
    }

    TTestPictures Pictures;
    TTestWindow Window;
};

TEST_F(PageButtonTest, DrawsTheStripsOfItsStateAndTheIconOfItsType)
{
    std::unique_ptr<TPiboPageButton> button(NewButton());
    EXPECT_EQ(button->size(), QSize(26, 88));
    EXPECT_EQ(PictureAt(button.get(), {24, 1}), QStringLiteral("PageButtonUpTopBG"));
    EXPECT_EQ(PictureAt(button.get(), {24, 50}), QStringLiteral("PageButtonUpCenterBG"));
    EXPECT_EQ(PictureAt(button.get(), {24, 86}), QStringLiteral("PageButtonUpBottomBG"));
    EXPECT_EQ(PictureAt(button.get(), {12, 12}), QStringLiteral("PageButtonKeJian"));
    // The icon's transparent left column shows the strips behind it.
    EXPECT_EQ(PictureAt(button.get(), {3, 12}), QStringLiteral("PageButtonUpCenterBG"));

    button->SetSelected(true);
    button->SetPageButtonType(pbtRecent);
    EXPECT_EQ(PictureAt(button.get(), {24, 1}), QStringLiteral("PageButtonDownTopBG"));
    EXPECT_EQ(PictureAt(button.get(), {24, 50}), QStringLiteral("PageButtonDownCenterBG"));
    EXPECT_EQ(PictureAt(button.get(), {24, 86}), QStringLiteral("PageButtonDownBottomBG"));
    EXPECT_EQ(PictureAt(button.get(), {12, 12}), QStringLiteral("PageButtonRecent"));

    // A taller button stretches the centre strip; the bottom strip stays at the bottom.
    button->SetHeight(120);
    EXPECT_EQ(PictureAt(button.get(), {24, 110}), QStringLiteral("PageButtonDownCenterBG"));
    EXPECT_EQ(PictureAt(button.get(), {24, 118}), QStringLiteral("PageButtonDownBottomBG"));
}

TEST_F(PageButtonTest, IconIsReadAtEveryPaint)
{
    std::unique_ptr<TPiboPageButton> button(NewButton());
    button->SetPageButtonType(pbtMedia);
    EXPECT_EQ(PictureAt(button.get(), {12, 12}), QStringLiteral("PageButtonMedia"));
    const QRgb newIcon = AddIcon(QStringLiteral("PageButtonMedia"));
    EXPECT_EQ(Window.Grab().pixel(button->pos() + QPoint(12, 12)), newIcon);
}

TEST_F(PageButtonTest, MissingIconLeavesTheButtonWithoutIcon)
{
    std::unique_ptr<TPiboPageButton> button(NewButton());
    Pictures.AddMissing(QStringLiteral("PageButtonMedia"));
    button->SetPageButtonType(pbtMedia);
    EXPECT_EQ(PictureAt(button.get(), {12, 12}), QStringLiteral("PageButtonUpCenterBG"));
}

TEST_F(PageButtonTest, MissingStripRaisesFromTheConstructor)
{
    Pictures.AddMissing(QStringLiteral("PageButtonDownCenterBG"));
    EXPECT_THROW(TPiboPageButton button(&Window), EResNotFound);
}

TEST_F(PageButtonTest, CaptionIsWrittenOneCharacterPerLineInTheStateColour)
{
    struct TCase {
        bool Selected;
        QColor Colour;
    };
    const TCase cases[] = {{false, QColor(255, 255, 255)}, {true, ToQColor(0xC8820D)}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Selected);
        std::unique_ptr<TPiboPageButton> button(NewButton());
        button->SetSelected(c.Selected);
        EXPECT_EQ(CaptionLineCount(button.get(), c.Colour), 0);
        button->SetCaption(QStringLiteral("课件库"));
        EXPECT_EQ(CaptionLineCount(button.get(), c.Colour), 3);
    }
}

TEST_F(PageButtonTest, ClickFiresOnClick)
{
    std::unique_ptr<TPiboPageButton> button(NewButton());
    int clicks = 0;
    button->OnClick = [&clicks] { ++clicks; };
    Click(button->PaintBox());
    EXPECT_EQ(clicks, 1);
}

// ---------------------------------------------------------------------------
// TPiboCheckBox
// ---------------------------------------------------------------------------

class CheckBoxTest : public ::testing::Test {
protected:
    CheckBoxTest()
    {
        Pictures.Add(QStringLiteral("CheckBoxCheckedBG"), {13, 13});
        Pictures.Add(QStringLiteral("CheckBoxNotCheckedBG"), {13, 13});
    }

    TPiboCheckBox* NewCheckBox()
    {
        auto* box = new TPiboCheckBox(&Window);
        box->move(20, 20);
        box->show();
        ProcessEvents();
        return box;
    }

    QString PictureOf(TPiboCheckBox* box)
    {
        return Pictures.NameOf(Window.Grab().pixel(box->pos() + QPoint(6, 6)));
    }

    TTestPictures Pictures;
    TTestWindow Window;
};

TEST_F(CheckBoxTest, ClickFlipsCheckedBeforeOnClickRuns)
{
    std::unique_ptr<TPiboCheckBox> box(NewCheckBox());
    EXPECT_EQ(box->size(), QSize(13, 13));
    EXPECT_EQ(PictureOf(box.get()), QStringLiteral("CheckBoxNotCheckedBG"));
    bool checkedInHandler = false;
    QString pictureInHandler;
    box->OnClick = [&] {
        checkedInHandler = box->Checked();
        pictureInHandler = PictureOf(box.get());
    };
    Click(box->PaintBox());
    EXPECT_TRUE(checkedInHandler);
    EXPECT_EQ(pictureInHandler, QStringLiteral("CheckBoxCheckedBG"));

    Click(box->PaintBox());
    EXPECT_FALSE(box->Checked());
    EXPECT_EQ(PictureOf(box.get()), QStringLiteral("CheckBoxNotCheckedBG"));
}

TEST_F(CheckBoxTest, SetCheckedDrawsOnlyAChangedValueAndAtOnce)
{
    std::unique_ptr<TPiboCheckBox> box(NewCheckBox());
    TPaintCounter paints(box->PaintBox());
    ProcessEvents();  // the first paint after showing
    paints.Count = 0;

    box->SetChecked(false);
    ProcessEvents();
    EXPECT_EQ(paints.Count, 0);

    box->SetChecked(true);
    EXPECT_GE(paints.Count, 1);  // before any event processing
    EXPECT_TRUE(box->Checked());
}

TEST_F(CheckBoxTest, MissingPictureRaisesFromTheConstructor)
{
    Pictures.AddMissing(QStringLiteral("CheckBoxCheckedBG"));
    EXPECT_THROW(TPiboCheckBox box(&Window), EResNotFound);
}

}  // namespace
