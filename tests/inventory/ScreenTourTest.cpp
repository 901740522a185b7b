// The screenshot tour: a picture of every window and dialog in a typical
// state, written as <scene>.png into the screenshots folder of the build
// (build/screenshots/; PIBO_SCREENSHOTS names another). A scene that cannot
// be shown, or whose picture cannot be made or written, fails.

#include "InventoryScenes.h"

#include <QtCore/QDir>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

namespace {

QString ScreenshotFolder()
{
    const QString chosen = qEnvironmentVariable("PIBO_SCREENSHOTS");
    return chosen.isEmpty() ? QStringLiteral(PIBO_SCREENSHOT_FOLDER) : chosen;
}

// Whether the picture holds more than one colour: an empty or blank picture
// shows nothing of the window.
bool ShowsSomething(const QImage& image)
{
    if (image.isNull())
        return false;
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            if (image.pixel(x, y) != first)
                return true;
    return false;
}

class ScreenTour : public ::testing::TestWithParam<QString> {};

TEST_P(ScreenTour, WritesThePictureOfTheScene)
{
    TSceneStage stage;
    const TSceneView view = stage.Show(GetParam());
    ASSERT_TRUE(view) << GetParam().toStdString() << " cannot be shown";
    ASSERT_TRUE(view.Window->isVisible());
    const QImage picture = view.Window->grab().toImage();
    ASSERT_TRUE(ShowsSomething(picture)) << GetParam().toStdString() << " shows nothing";
    const QString folder = ScreenshotFolder();
    ASSERT_TRUE(QDir().mkpath(folder)) << folder.toStdString();
    const QString file = QDir(folder).filePath(GetParam() + QStringLiteral(".png"));
    ASSERT_TRUE(picture.save(file, "PNG")) << file.toStdString();
}

std::string SceneTestName(const ::testing::TestParamInfo<QString>& info)
{
    std::string name = info.param.toStdString();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scenes, ScreenTour, ::testing::ValuesIn(TSceneStage::SceneNames()), SceneTestName);

}  // namespace
