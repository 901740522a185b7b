// Big pictures drawn once and kept between starts: the second load maps the
// kept pixels instead of drawing, and every file that does not belong to the
// picture as drawn now (another stamp, another executable's, short, damaged)
// is drawn anew and replaced.

#include "Graphics.h"
#include "PiboPictures.h"
#include "PictureStore.h"
#include "TestSupport.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <gtest/gtest.h>

#include <functional>

namespace {

using PictureKit::KeptPicture;
using PictureKit::KeptPictureFile;

const QString KeptName = QStringLiteral("KeptTestPicture");
const QSize KeptSize(37, 23);

// A picture with a different colour in every pixel, so that a shifted row or
// a swapped channel shows.
QImage Pattern()
{
    QImage image(KeptSize, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7, y * 11, (x * y) & 0xFF));
    return image;
}

class PictureStoreTest : public ::testing::Test {
protected:
    TTestProgramFolder Folder;
    int Draws = 0;

    QImage Load(const QString& stamp = QStringLiteral("fonts A"))
    {
        return KeptPicture(KeptName, KeptSize, stamp, [this] {
            ++Draws;
            return Pattern();
        });
    }
};

TEST_F(PictureStoreTest, DrawnOnceThenMappedWithTheSamePixels)
{
    const QImage first = Load();
    EXPECT_EQ(Draws, 1);
    EXPECT_TRUE(QFileInfo::exists(KeptPictureFile(KeptName)));
    EXPECT_TRUE(KeptPictureFile(KeptName).startsWith(Folder.Path() + QStringLiteral("temp/")));
    const QImage second = Load();
    EXPECT_EQ(Draws, 1);
    EXPECT_EQ(second.format(), QImage::Format_RGB32);
    EXPECT_EQ(first, Pattern());
    EXPECT_EQ(second, Pattern());

    // A mapped picture is read-only memory: drawing on it works on a copy and
    // leaves the kept file as it was.
    QImage changed = second;
    changed.setPixel(0, 0, qRgb(1, 2, 3));
    EXPECT_EQ(changed.pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(Load(), Pattern());
    EXPECT_EQ(Draws, 1);
}

TEST_F(PictureStoreTest, AFileThatDoesNotBelongIsDrawnAnewAndReplaced)
{
    const struct {
        const char* Name;
        std::function<void(QByteArray&)> Spoil;  // what happens to the kept bytes
        QString Stamp;                            // the stamp of the next load
    } cases[] = {
        {"another stamp (other fonts)", {}, QStringLiteral("fonts B")},
        {"cut short by one byte", [](QByteArray& b) { b.chop(1); }, QStringLiteral("fonts A")},
        {"one byte too long", [](QByteArray& b) { b.append('\0'); }, QStringLiteral("fonts A")},
        {"the head only", [](QByteArray& b) { b.truncate(24); }, QStringLiteral("fonts A")},
        {"empty", [](QByteArray& b) { b.clear(); }, QStringLiteral("fonts A")},
        {"another magic", [](QByteArray& b) { b[0] = 'X'; }, QStringLiteral("fonts A")},
        {"another width", [](QByteArray& b) { b[8] = char(b[8] + 1); }, QStringLiteral("fonts A")},
        {"a stamp of another executable",
         [](QByteArray& b) {
             const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
             const qsizetype at = b.indexOf(QFile::encodeName(program));
             ASSERT_GE(at, 0);
             b[at] = 'Q';
         },
         QStringLiteral("fonts A")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QFile::remove(KeptPictureFile(KeptName));
        Draws = 0;
        Load();
        ASSERT_EQ(Draws, 1);
        if (c.Spoil) {
            QFile file(KeptPictureFile(KeptName));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            QByteArray bytes = file.readAll();
            file.close();
            c.Spoil(bytes);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
            file.close();
        }
        EXPECT_EQ(Load(c.Stamp), Pattern());
        EXPECT_EQ(Draws, 2);
        // Replaced: the next start maps it again.
        EXPECT_EQ(Load(c.Stamp), Pattern());
        EXPECT_EQ(Draws, 2);
    }
}

TEST_F(PictureStoreTest, WhereNothingCanBeKeptThePictureIsDrawnEveryTime)
{
    // temp/pictures cannot be made: a file stands in its place.
    QFile blocker(Folder.File(QStringLiteral("temp/pictures")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(Load(), Pattern());
    EXPECT_EQ(Load(), Pattern());
    EXPECT_EQ(Draws, 2);
}

TEST_F(PictureStoreTest, TheLoginBackgroundIsKeptWithThePixelsItIsDrawnWith)
{
    const QString name = QStringLiteral("LoginBackground");
    QFile::remove(KeptPictureFile(name));
    RegisterPiboPictures();  // the registry forgets what it holds
    const QImage drawn = LoadBitmapResource(name);
    ASSERT_TRUE(QFileInfo::exists(KeptPictureFile(name)));
    RegisterPiboPictures();
    const QImage kept = LoadBitmapResource(name);
    EXPECT_EQ(kept.size(), QSize(642, 400));
    EXPECT_EQ(kept, drawn);
    // The kept file is what the next start maps; a damaged one is drawn anew.
    QFile file(KeptPictureFile(name));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(file.size() - 1);
    file.write("\x01", 1);
    file.resize(file.size() - 7);
    file.close();
    RegisterPiboPictures();
    EXPECT_EQ(LoadBitmapResource(name), drawn);
}

}  // namespace
