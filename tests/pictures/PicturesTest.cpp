// The program's pictures: every name a control loads exists with the size the
// controls rely on, keyed pictures carry the transparent colour cleanly, and the
// looks of one button differ.

#include "Graphics.h"

#include <QtCore/QSet>
#include <QtCore/QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace {

// How a control draws the picture.
enum class Keying {
    Fuchsia,  // speed-button pictures: 0xFF00FF is transparent
    Auto,     // drawn transparently with the bottom-left pixel as key
    Opaque,   // copied or stretched as it is
};

struct Expected {
    QString Name;
    int Width;
    int Height;
    Keying Key;
};

// A speed-button kind: its normal picture and, when it has its own, the
// disabled and hover pictures.
struct SpeedKind {
    QString Normal;
    QString Disabled;
    QString Hover;
    int Width;
    int Height;
};

QString S(const char* text)
{
    return QString::fromUtf8(text);
}

const std::vector<SpeedKind>& SpeedKinds()
{
    static const std::vector<SpeedKind> kinds = {
        {S("SpeedButtonNormalBG_AddSentence"), S("SpeedButtonEnabledBG_AddSentence"), {}, 16, 16},
        {S("SpeedButtonNormalBG_Play"), S("SpeedButtonEnabledBG_Play"), {}, 13, 13},
        {S("SpeedButtonNormalBG_Stop"), S("SpeedButtonEnabledBG_Stop"), {}, 11, 11},
        {S("SpeedButtonNormalBG_Pause"), S("SpeedButtonEnabledBG_Pause"), {}, 13, 13},
        {S("SpeedButtonNormalBG_Start"), S("SpeedButtonEnabledBG_Start"), {}, 14, 13},
        {S("SpeedButtonNormalBG_End"), S("SpeedButtonEnabledBG_End"), {}, 14, 13},
        {S("SpeedButtonNormalBG_ReStart"), S("SpeedButtonEnabledBG_ReStart"), {}, 15, 16},
        {S("SpeedButtonNormalBG_Again"), S("SpeedButtonEnabledBG_Again"), {}, 15, 16},
        {S("SpeedButtonNormalBG_China"), S("SpeedButtonEnabledBG_China"), {}, 15, 16},
        {S("SpeedButtonNormalBG_English"), S("SpeedButtonEnabledBG_English"), {}, 15, 16},
        {S("SpeedButtonNormalBG_Sound"), S("SpeedButtonEnabledBG_Sound"), {}, 17, 16},
        {S("FormCloseNormal"), {}, {}, 16, 16},
        {S("FormMaxNormal"), {}, {}, 16, 16},
        {S("FormNormalNormal"), {}, {}, 16, 16},
        {S("FormMinNormal"), {}, {}, 16, 16},
        {S("ShowInfoButtonNormal"), S("ShowInfoButtonEnabled"), S("ShowInfoButtonMove"), 79, 23},
        {S("LoginButtonNormal"), {}, S("LoginButtonMove"), 75, 26},
        {S("RecordNormal"), {}, S("RecordMove"), 29, 29},
        {S("NoRecordNormal"), {}, S("NoRecordMove"), 29, 29},
        {S("RecordButtonNormal"), S("RecordButtonEnabled"), S("RecordButtonMove"), 77, 20},
        {S("RecordListenNormal"), S("RecordListenEnabled"), {}, 167, 49},
        {S("RecordSpeakNormal"), S("RecordSpeakEnabled"), {}, 167, 49},
        {S("RecordTransferNormal"), S("RecordTransferEnabled"), {}, 167, 49},
        {S("RecordSentenceNormal"), S("RecordSentenceEnabled"), {}, 167, 49},
        {S("StudyRecordDeleteNormal"), {}, {}, 12, 12},
        {S("WorkFileOpenNormal"), {}, S("WorkFileOpenMove"), 19, 19},
        {S("WorkPlayNormal"), S("WorkPlayEnabled"), S("WorkPlayMove"), 19, 19},
        {S("WorkPauseNormal"), S("WorkPauseEnabled"), S("WorkPauseMove"), 19, 19},
        {S("WorkStopNormal"), S("WorkStopEnabled"), S("WorkStopMove"), 19, 19},
        {S("WorkQuickNormal"), S("WorkQuickEnabled"), S("WorkQuickMove"), 19, 19},
        {S("WorkSlowNormal"), S("WorkSlowEnabled"), S("WorkSlowMove"), 19, 19},
        {S("WorkAddNormal"), {}, S("WorkAddMove"), 19, 19},
        {S("WorkEditNormal"), {}, S("WorkEditMove"), 19, 19},
        {S("WorkDeleteNormal"), {}, S("WorkDeleteMove"), 19, 19},
        {S("WorkUndoNormal"), S("WorkUndoEnabled"), S("WorkUndoMove"), 19, 19},
        {S("WorkRedoNormal"), S("WorkRedoEnabled"), S("WorkRedoMove"), 19, 19},
        {S("WorkSaveNormal"), {}, S("WorkSaveMove"), 19, 19},
        {S("TransAddNormal"), {}, S("TransAddMove"), 15, 15},
        {S("TransLButtonNormal"), S("TransLButtonEnabled"), S("TransLButtonMove"), 106, 23},
        {S("TansRightNormal"), {}, S("TansRightMove"), 26, 25},
        {S("TansWrongNormal"), {}, S("TansWrongMove"), 19, 18},
        {S("CheckButtonNormal"), {}, S("CheckButtonMove"), 94, 29},
    };
    return kinds;
}

const std::vector<Expected>& AllPictures()
{
    static const std::vector<Expected> all = [] {
        std::vector<Expected> list;
        // speed buttons: every look takes the normal picture's size
        for (const SpeedKind& kind : SpeedKinds())
            for (const QString& name : {kind.Normal, kind.Disabled, kind.Hover})
                if (!name.isEmpty())
                    list.push_back({name, kind.Width, kind.Height, Keying::Fuchsia});
        // page buttons
        for (const char* state : {"Up", "Down"}) {
            list.push_back({S("PageButton%1TopBG").arg(S(state)), 26, 5, Keying::Opaque});
            list.push_back({S("PageButton%1CenterBG").arg(S(state)), 26, 2, Keying::Opaque});
            list.push_back({S("PageButton%1BottomBG").arg(S(state)), 26, 5, Keying::Opaque});
        }
        for (const char* icon : {"PageButtonKeJian", "PageButtonMedia", "PageButtonRecent"})
            list.push_back({S(icon), 20, 20, Keying::Auto});
        // mode buttons
        for (const char* kind : {"LiuLan", "DanJu", "ZiYou", "KouYu", "FanYi", "ChengJi", "ZhiZuo"})
            for (const char* look : {"MainButtonLeftBG_", "MainButtonMoveLeftBG_", "MainButtonDownLeftBG_"})
                list.push_back({S(look) + S(kind), 96, 36, Keying::Opaque});
        // check boxes, list grid
        for (const char* name :
             {"CheckBoxCheckedBG", "CheckBoxNotCheckedBG", "GridCheckBoxCheckedBG", "GridCheckBoxNotCheckedBG"})
            list.push_back({S(name), 13, 13, Keying::Opaque});
        list.push_back({S("DeleteBG"), 12, 12, Keying::Auto});
        list.push_back({S("GridSpeedButtonNormalBG"), 16, 16, Keying::Auto});
        // seek bar and volume
        list.push_back({S("ProgressBlockBG"), 10, 17, Keying::Auto});
        list.push_back({S("ProgressCrossBG"), 1, 17, Keying::Auto});
        list.push_back({S("ProgressNotCrossBG"), 1, 17, Keying::Auto});
        list.push_back({S("SoundVolumeCrossBG"), 1, 7, Keying::Opaque});
        list.push_back({S("SoundVolumeNotCrossBG"), 1, 7, Keying::Opaque});
        // dialog frames
        list.push_back({S("ModelTopLeft"), 2, 27, Keying::Opaque});
        list.push_back({S("ModelTopCenter"), 8, 27, Keying::Opaque});
        list.push_back({S("ModelTopRight"), 2, 27, Keying::Opaque});
        list.push_back({S("ShowInfoTop"), 120, 29, Keying::Opaque});
        list.push_back({S("ShowInfoTopCenter"), 8, 29, Keying::Opaque});
        list.push_back({S("ShowInfoTopRight"), 2, 29, Keying::Opaque});
        list.push_back({S("ShowInfoIcon"), 32, 32, Keying::Auto});
        list.push_back({S("InputEditBG"), 200, 23, Keying::Auto});
        // text editor
        list.push_back({S("TextEditInternalImages"), 120, 16, Keying::Opaque});
        list.push_back({S("TextEditWrapped"), 12, 12, Keying::Opaque});
        // rich-text viewer: the placeholder picture and the line-selection cursor;
        // tables: the row and column selection cursors
        list.push_back({S("RD_BAD_PICTURE"), 20, 20, Keying::Opaque});
        list.push_back({S("RD_FLIPARROW_CURSOR"), 32, 32, Keying::Auto});
        list.push_back({S("RD_SELECTROW_CURSOR"), 32, 32, Keying::Auto});
        list.push_back({S("RD_SELECTCOL_CURSOR"), 32, 32, Keying::Auto});
        // login window, main window, start page
        list.push_back({S("LoginBackground"), 642, 400, Keying::Opaque});
        list.push_back({S("LoginEditBG"), 170, 18, Keying::Opaque});
        list.push_back({S("MainTopLeft"), 826, 96, Keying::Opaque});
        list.push_back({S("MainTopCenter"), 8, 96, Keying::Opaque});
        list.push_back({S("MainTopRight"), 106, 96, Keying::Opaque});
        list.push_back({S("MainBottomLeft"), 30, 33, Keying::Opaque});
        list.push_back({S("MainBottomCenter"), 8, 33, Keying::Opaque});
        list.push_back({S("MainBottomRight"), 23, 33, Keying::Opaque});
        list.push_back({S("TreeHeader"), 8, 15, Keying::Opaque});
        for (const char* icon : {"TreeFolder", "TreeAudio", "TreeVideo"})
            list.push_back({S(icon), 16, 16, Keying::Auto});
        for (const char* icon : {"StudyRecordWave", "StudyRecordWaveCurrent"})
            list.push_back({S(icon), 16, 16, Keying::Auto});
        list.push_back({S("StudyRecordCellDelete"), 14, 14, Keying::Auto});
        list.push_back({S("IniHeader"), 820, 122, Keying::Opaque});
        for (const char* section : {"IniSection1", "IniSection2", "IniSection3"})
            list.push_back({S(section), 110, 22, Keying::Auto});
        list.push_back({S("IniLogo"), 170, 60, Keying::Opaque});
        return list;
    }();
    return all;
}

constexpr QRgb Key = 0xFF00FF;

QRgb Pixel(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}

int CountKey(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += Pixel(image, x, y) == Key;
    return count;
}

// An edge blended into the key would leave pinkish pixels around the glyph.
int CountPinkish(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = Pixel(image, x, y);
            count += c != Key && qRed(c) > 200 && qBlue(c) > 200 && qGreen(c) < 120;
        }
    return count;
}

}  // namespace

TEST(Pictures, EveryPictureTheControlsLoadExistsWithItsSize)
{
    for (const Expected& picture : AllPictures()) {
        SCOPED_TRACE(picture.Name.toStdString());
        ASSERT_TRUE(BitmapResourceExists(picture.Name));
        const QImage image = LoadBitmapResource(picture.Name);
        EXPECT_EQ(image.width(), picture.Width);
        EXPECT_EQ(image.height(), picture.Height);
    }
}

TEST(Pictures, NoPictureIsRegisteredUnderAStrayName)
{
    QSet<QString> known;
    for (const Expected& picture : AllPictures())
        known.insert(picture.Name);
    for (const QString& name : BitmapResourceNames())
        EXPECT_TRUE(known.contains(name)) << name.toStdString();
}

TEST(Pictures, SpeedButtonTakesTheSizeOfItsNormalPicture)
{
    // through the bitmap class the control uses
    TBitmap bitmap;
    bitmap.LoadFromResourceName(S("ShowInfoButtonNormal"));
    EXPECT_EQ(bitmap.Width(), 79);
    EXPECT_EQ(bitmap.Height(), 23);
    EXPECT_THROW(bitmap.LoadFromResourceName(S("ShowInfoButtonDown")), EResNotFound);
}

TEST(Pictures, KeyedPicturesHaveBothKeyAndDrawnPixelsAndNoPinkEdges)
{
    for (const Expected& picture : AllPictures()) {
        if (picture.Key == Keying::Opaque)
            continue;
        SCOPED_TRACE(picture.Name.toStdString());
        const QImage image = LoadBitmapResource(picture.Name);
        const int keyed = CountKey(image);
        EXPECT_GT(keyed, 0);
        EXPECT_LT(keyed, image.width() * image.height());
        EXPECT_EQ(CountPinkish(image), 0);
    }
}

TEST(Pictures, PicturesKeyedOnTheirCornerPixelHaveTheKeyThere)
{
    // the controls take the bottom-left pixel as the transparent colour
    for (const Expected& picture : AllPictures()) {
        if (picture.Key != Keying::Auto)
            continue;
        SCOPED_TRACE(picture.Name.toStdString());
        const QImage image = LoadBitmapResource(picture.Name);
        EXPECT_EQ(Pixel(image, 0, image.height() - 1), Key);
        TBitmap bitmap;
        bitmap.Assign(image);
        bitmap.SetTransparent(true);
        EXPECT_EQ(bitmap.TransparentColor(), clFuchsia);
    }
}

TEST(Pictures, OpaquePicturesCarryNoKey)
{
    for (const Expected& picture : AllPictures()) {
        if (picture.Key != Keying::Opaque)
            continue;
        SCOPED_TRACE(picture.Name.toStdString());
        EXPECT_EQ(CountKey(LoadBitmapResource(picture.Name)), 0);
    }
}

TEST(Pictures, DisabledAndHoverLooksDifferFromTheNormalOne)
{
    for (const SpeedKind& kind : SpeedKinds()) {
        SCOPED_TRACE(kind.Normal.toStdString());
        const QImage normal = LoadBitmapResource(kind.Normal);
        for (const QString& other : {kind.Disabled, kind.Hover}) {
            if (other.isEmpty())
                continue;
            const QImage look = LoadBitmapResource(other);
            EXPECT_NE(look, normal) << other.toStdString();
            // the shape stays: the transparent pixels of the normal picture stay
            // transparent (a hover frame may fill more of the square)
            int uncovered = 0;
            for (int y = 0; y < look.height(); ++y)
                for (int x = 0; x < look.width(); ++x)
                    uncovered += Pixel(look, x, y) == Key && Pixel(normal, x, y) != Key;
            EXPECT_EQ(uncovered, 0) << other.toStdString();
        }
    }
    for (const char* kind : {"LiuLan", "DanJu", "ZiYou", "KouYu", "FanYi", "ChengJi", "ZhiZuo"}) {
        const QImage normal = LoadBitmapResource(S("MainButtonLeftBG_") + S(kind));
        EXPECT_NE(LoadBitmapResource(S("MainButtonMoveLeftBG_") + S(kind)), normal) << kind;
        EXPECT_NE(LoadBitmapResource(S("MainButtonDownLeftBG_") + S(kind)), normal) << kind;
    }
    EXPECT_NE(LoadBitmapResource(S("CheckBoxCheckedBG")), LoadBitmapResource(S("CheckBoxNotCheckedBG")));
    EXPECT_NE(LoadBitmapResource(S("GridCheckBoxCheckedBG")), LoadBitmapResource(S("GridCheckBoxNotCheckedBG")));
    EXPECT_NE(LoadBitmapResource(S("PageButtonUpCenterBG")), LoadBitmapResource(S("PageButtonDownCenterBG")));
}

TEST(Pictures, DisabledLooksAreGrey)
{
    // greyed glyphs: no drawn pixel keeps a colour (the study-record pages are
    // the exception: their disabled picture marks the open page)
    for (const SpeedKind& kind : SpeedKinds()) {
        if (kind.Disabled.isEmpty() || kind.Width == 167)
            continue;
        SCOPED_TRACE(kind.Disabled.toStdString());
        const QImage image = LoadBitmapResource(kind.Disabled);
        int coloured = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = Pixel(image, x, y);
                coloured += c != Key && (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c));
            }
        EXPECT_EQ(coloured, 0);
    }
}
