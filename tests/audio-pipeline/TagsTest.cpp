// Tag containers: values, the ID3v1 trailer and ID3v2 frames.

#include "AudioPipeTags.h"

#include <QtCore/QBuffer>

#include <gtest/gtest.h>

TEST(AudioTags, Id3v1Values)
{
    TId3v1Tags t;
    EXPECT_EQ(t.GenreId(), 12);
    EXPECT_EQ(t.Genre(), "Other");
    t.SetGenreId(200);
    EXPECT_EQ(t.GenreId(), 12);
    t.SetGenre(" rock ");
    EXPECT_EQ(t.GenreId(), 17);
    t.SetGenre("no such genre");
    EXPECT_EQ(t.GenreId(), 17);
    EXPECT_EQ(TId3v1Tags::GenreName(147), "Synthpop");
    t.SetValue("nonsense", 3);
    EXPECT_FALSE(t.GetValue("nonsense").isValid());

    TId3v2Tags v2;
    v2.SetArtist("x");
    v2.Assign(t);  // no names in common
    EXPECT_TRUE(v2.Artist().isEmpty());
}

TEST(AudioTags, Id3v1RoundTrip)
{
    QBuffer file;
    file.open(QIODevice::ReadWrite);
    file.write(QByteArray(1000, 'a'));
    TId3v1Tags t;
    t.SetTitle(QString("A title that is certainly longer than thirty characters"));
    t.SetArtist(QString::fromUtf8("皮博"));
    t.SetAlbum("Album");
    t.SetYear(2007);
    t.SetComment("comment");
    t.SetTrack(7);
    t.SetGenreId(101);
    ASSERT_TRUE(t.WriteToFile(&file));
    EXPECT_EQ(file.size(), 1128);
    TId3v1Tags r;
    ASSERT_TRUE(r.HasTag(&file));
    ASSERT_TRUE(r.ReadFromFile(&file));
    EXPECT_EQ(r.Title(), t.Title().left(30));
    EXPECT_EQ(r.Artist(), t.Artist());
    EXPECT_EQ(r.Album(), "Album");
    EXPECT_EQ(r.Year(), 2007);
    EXPECT_EQ(r.Comment(), "comment");
    EXPECT_EQ(r.Track(), 7);
    EXPECT_EQ(r.Genre(), "Speech");

    // Year 0 is written as "0"; no track: a 30-byte comment.
    TId3v1Tags z;
    z.SetComment("abcd");
    QBuffer other;
    other.open(QIODevice::ReadWrite);
    ASSERT_TRUE(z.WriteToFile(&other));
    EXPECT_EQ(other.data().mid(93, 4), QByteArray("0\0\0\0", 4));
    TId3v1Tags zr;
    ASSERT_TRUE(zr.ReadFromFile(&other));
    EXPECT_EQ(zr.Track(), 0);
    EXPECT_EQ(zr.Comment(), "abcd");
}

TEST(AudioTags, Id3v2RoundTrip)
{
    QBuffer file;
    file.open(QIODevice::ReadWrite);
    const QByteArray audio(3000, 'm');
    file.write(audio);
    TId3v2Tags t;
    t.SetTitle(QString::fromUtf8("听力练习"));
    t.SetArtist("Someone");
    t.SetTrack("3");
    t.SetYear("2008");
    t.SetLink("http://example.invalid/");
    ASSERT_TRUE(t.WriteToFile(&file, true));
    const QByteArray all = file.data();
    EXPECT_TRUE(all.endsWith(audio));
    const int tagSize = int(all.size() - audio.size());
    EXPECT_EQ(tagSize % 16, 0);
    file.seek(0);
    TId3v2Tags r;
    ASSERT_TRUE(r.HasTag(&file));
    ASSERT_TRUE(r.ReadFromFile(&file));
    EXPECT_EQ(file.pos(), tagSize);
    EXPECT_EQ(r.Title(), t.Title());
    EXPECT_EQ(r.Artist(), "Someone");
    EXPECT_EQ(r.Track(), "3");
    EXPECT_EQ(r.Year(), "2008");
    EXPECT_EQ(r.Link(), "http://example.invalid/");
    EXPECT_TRUE(r.Album().isEmpty());
}

// Version 2.2 tags use the short ids; a frame of encoding 2 is skipped and
// the rest still read.
TEST(AudioTags, Id3v2ShortIdsAndUnknownEncoding)
{
    QByteArray frames;
    auto frame22 = [&frames](const char* id, const QByteArray& body) {
        frames += id;
        frames += char(body.size() >> 16);
        frames += char(body.size() >> 8);
        frames += char(body.size());
        frames += body;
    };
    frame22("TT2", QByteArray("\x02xx", 3));
    frame22("TP1", QByteArray("\x00" "Band", 5));
    frame22("TAL", QByteArray("\x01\xFF\xFE" "A\0l\0", 7));
    QByteArray tag("ID3\x02\x00\x00", 6);
    const int size = int(frames.size());
    tag += char((size >> 21) & 0x7F);
    tag += char((size >> 14) & 0x7F);
    tag += char((size >> 7) & 0x7F);
    tag += char(size & 0x7F);
    tag += frames;
    QBuffer file;
    file.setData(tag + QByteArray(100, 'z'));
    file.open(QIODevice::ReadOnly);
    TId3v2Tags r;
    ASSERT_TRUE(r.ReadFromFile(&file));
    EXPECT_FALSE(r.LongFrameIds());
    EXPECT_EQ(r.Artist(), "Band");
    EXPECT_EQ(r.Album(), "Al");
    EXPECT_TRUE(r.Title().isEmpty());
    EXPECT_EQ(file.pos(), tag.size());

    // Not a tag: flags outside the version's known bits.
    QBuffer bad;
    bad.setData(QByteArray("ID3\x03\x00\x01\x00\x00\x00\x00", 10));
    bad.open(QIODevice::ReadOnly);
    EXPECT_FALSE(r.HasTag(&bad));
}
