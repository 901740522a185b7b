// The wave audio library's foundation and wave format routines.

#include "MMDIB.h"
#include "MMPCMSup.h"
#include "SndAlloc.h"
#include "SndCutLst.h"
#include "SndMulDiv.h"
#include "SndObj.h"
#include "SndObsrv.h"
#include "SndUtils.h"
#include "SndWaveIO.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QMetaObject>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

TEST(WaveFoundation, MulDivRoundsHalvesAwayFromZero)
{
    struct {
        std::int32_t a, b, c, expected;
    } cases[] = {{1, 1, 2, 1}, {1, 1, 3, 0}, {-1, 1, 2, -1}, {7, 1, 2, 4}, {-7, 1, 2, -4}, {5, 1, 3, 2},
                 {44100, 1000, 44100, 1000}, {2147483647, 2, 2, 2147483647}, {3, 4, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(MulDivRound(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
        EXPECT_EQ(MulDivRound64(c.a, c.b, c.c), c.expected);
    }
    EXPECT_EQ(MulDivRound64(4000000000LL, 4000000000LL, 1000000000LL), 16000000000LL);
    EXPECT_EQ(MulDiv64(7, 1, 2), 3);
    EXPECT_EQ(MulDiv64(-7, 1, 2), -3);
}

TEST(WaveFoundation, RoutineTableAndMessages)
{
    EXPECT_EQ(MinMaxProc(5, 10, 1), 10) << "lower bound tested first";
    EXPECT_EQ(MinMaxAnyProc(5, 10, 1), 5);
    EXPECT_TRUE(InMinMaxProc(3, 3, 3));
    unsigned char buffer[7];
    FillLongProc(buffer, 7, 0x11223344);
    EXPECT_EQ(buffer[4], 0x44);
    EXPECT_EQ(buffer[6], 0x44);
    EXPECT_EQ(buffer[3], 0x11);
    char area[8] = "abcdefg";
    MoveProc(area, area + 1, 5);
    EXPECT_STREQ(area, "aabcdeg");
    EXPECT_TRUE(CompareProc("abcde", "abcde", 5));
    EXPECT_FALSE(CompareProc("abcde", "abcdf", 5));
    EXPECT_EQ(LoadResStr(70), "The actual device can''t play this format");
    EXPECT_EQ(LoadResStr(141), "Saving was aborted");
    EXPECT_EQ(LoadResStr(999), "");
    TSndDeviceId id = 0;
    EXPECT_TRUE(SndDeviceIdFromIdent("MapperId", id));
    EXPECT_EQ(id, -1);
    EXPECT_TRUE(SndDeviceIdFromIdent("InvalidId", id));
    EXPECT_EQ(id, -2);
}

TEST(WaveFoundation, MemoryBlocksAndDiskQueries)
{
    void* p = GlobalAllocMem(100);
    EXPECT_EQ(GlobalMemSize(p), 100u);
    EXPECT_EQ(static_cast<unsigned char*>(p)[99], 0);
    GlobalReAllocMem(p, 10);
    EXPECT_EQ(GlobalMemSize(p), 10u);
    GlobalFreeMem(p);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(GlobalMemSize(nullptr), 0u);
    EXPECT_EQ(SndFileSize("/no/such/file"), -1);
    std::int64_t freeBytes = -5;
    std::int64_t total = -5;
    EXPECT_TRUE(GetDiskFree(QDir::tempPath() + "/x", freeBytes, total));
    EXPECT_GT(total, 0);
    EXPECT_TRUE(HasDiskSpace(QDir::tempPath() + "/x", 1));
    EXPECT_FALSE(HasDiskSpace(QDir::tempPath() + "/x", total + 1));
    // Delaying with messages lets the events waiting meanwhile run; a delay
    // of 0 returns at once, leaving them waiting.
    bool ran = false;
    QMetaObject::invokeMethod(qApp, [&ran] { ran = true; }, Qt::QueuedConnection);
    DelayMs(0, true);
    EXPECT_FALSE(ran);
    DelayMs(20, true);
    EXPECT_TRUE(ran);
}

TEST(WaveFoundation, UpdateNotificationsNest)
{
    TSndBevel bevel;
    int changing = 0;
    int changed = 0;
    bevel.OnChanging = [&](TSndObject*) { ++changing; };
    bevel.OnChange = [&](TSndObject*) { ++changed; };
    bevel.BeginUpdate();
    bevel.BeginUpdate();
    bevel.SetBorderWidth(3);
    bevel.EndUpdate();
    EXPECT_EQ(changed, 0);
    bevel.EndUpdate();
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(changed, 1);
    bevel.SetBorderWidth(3);
    EXPECT_EQ(changed, 1) << "an equal value fires nothing";
    bevel.SetBevelInner(bvRaised);
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(bevel.Extent(), 3 + 1 + 1);
    TSndBevel copy;
    int copyChanged = 0;
    copy.OnChange = [&](TSndObject*) { ++copyChanged; };
    copy.Assign(bevel);
    EXPECT_EQ(copyChanged, 1);
    EXPECT_EQ(copy.BorderWidth(), 3);
    EXPECT_EQ(copy.BevelInner(), bvRaised);
}

TEST(WaveFoundation, ObserversAreToldFromTheLastToTheFirst)
{
    TSndObservable observable;
    TSndObserver a;
    TSndObserver b;
    std::vector<char> order;
    a.OnNotify = [&](TSndObserver*, void*) { order.push_back('a'); };
    b.OnNotify = [&](TSndObserver*, void*) { order.push_back('b'); };
    observable.AddObserver(&a);
    observable.AddObserver(&b);
    observable.NotifyObservers(nullptr);
    EXPECT_EQ(order, (std::vector<char>{'b', 'a'}));
    TSndObservable other;
    other.AddObserver(&a);
    EXPECT_EQ(observable.Count(), 1);
    observable.RemoveObserver(&a);  // not its observer any more
    EXPECT_EQ(other.Count(), 1);
    {
        TSndObserver c;
        other.AddObserver(&c);
        EXPECT_EQ(other.Count(), 2);
    }
    EXPECT_EQ(other.Count(), 1);
}

TEST(WaveFoundation, AllocatorPrefersAnExactFreeBlock)
{
    TSndAllocator pool;
    void* big = pool.AllocBuffer(0, 4096);
    void* exact = pool.AllocBuffer(0, 1024);
    pool.FreeBuffer(big);
    EXPECT_EQ(big, nullptr);
    pool.FreeBuffer(exact);
    void* again = pool.AllocBuffer(0, 1024);
    EXPECT_EQ(pool.Count(), 2);
    void* next = pool.AllocBuffer(0, 1000);  // the larger free block
    EXPECT_EQ(pool.Count(), 2);
    EXPECT_NE(again, next);
    void* third = pool.AllocBuffer(0, 1000);
    EXPECT_EQ(pool.Count(), 3);
    int foreign = 0;
    void* notOurs = &foreign;
    pool.FreeBuffer(notOurs);
    EXPECT_EQ(notOurs, &foreign);
    pool.FreeBuffer(third);
    pool.FreeAll();
    EXPECT_EQ(pool.Count(), 0);
}

TEST(WaveFoundation, ConversionsOfTheFormatRoutines)
{
    const TWaveFormatEx cd = PcmFormat(16, 2, 44100);
    EXPECT_EQ(SamplesToBytes(&cd, 1000), 4000);
    EXPECT_EQ(BytesToSamples(&cd, 4002), 1001);
    EXPECT_EQ(SamplesToMs(&cd, 44100), 1000);
    EXPECT_EQ(MsToBytes(&cd, 1), 176);
    EXPECT_EQ(BytesPerSampleFrame(&cd), 4);
    EXPECT_EQ(SamplesToBytes64(&cd, 3000000000LL), 12000000000LL);
    EXPECT_EQ(SamplesToMs64(&cd, 44100LL * 3600 * 30), 1000LL * 3600 * 30);
    const TWaveFormatEx low = PcmFormat(8, 1, 22050);
    EXPECT_EQ(SamplesToMs(&low, 11), 0);
    EXPECT_EQ(SamplesToMs(&low, 12), 1);
    TWaveFormatEx broken{};
    EXPECT_EQ(SamplesToBytes(&broken, 100), 0);
    EXPECT_EQ(SamplesToMs(nullptr, 100), 0);

    TWaveFormatEx f = PcmFormat(16, 2, 4000);
    EXPECT_TRUE(PcmIsValid(&f));
    f = PcmFormat(16, 2, 100000);
    EXPECT_TRUE(PcmIsValid(&f));
    for (const TWaveFormatEx& bad : {PcmFormat(16, 2, 3999), PcmFormat(16, 2, 100001), PcmFormat(24, 2, 44100),
                                     PcmFormat(16, 3, 44100)})
        EXPECT_FALSE(PcmIsValid(&bad));
    EXPECT_FALSE(PcmIsValid(nullptr));

    TWaveFormatEx tag{};
    tag.wFormatTag = 0x55;
    EXPECT_EQ(FormatTagName(&tag), "MPEG Layer-3");
    tag.wFormatTag = 0x11;
    EXPECT_EQ(FormatTagName(&tag), "IMA ADPCM");
    tag.wFormatTag = 0x99;
    EXPECT_EQ(FormatTagName(&tag), "Unknown");
    EXPECT_EQ(FormatDescription(&cd), "44.100 kHz, 16 Bit, Stereo");
    const TWaveFormatEx phone = PcmFormat(8, 1, 8000);
    EXPECT_EQ(FormatDescription(&phone), "8.000 kHz, 8 Bit, Mono");
    QString name;
    QString description;
    tag.wFormatTag = 3;
    tag.nChannels = 2;
    tag.nSamplesPerSec = 48000;
    tag.nAvgBytesPerSec = 384000;
    EXPECT_TRUE(GetFormatNames(&tag, name, description));
    EXPECT_EQ(name, "IEEE Float");
    EXPECT_EQ(description, "48.000 kHz, 32 Bit, Stereo");
    EXPECT_FALSE(GetFormatNames(nullptr, name, description));

    TWaveFormatEx withExtra = cd;
    withExtra.cbSize = 22;
    EXPECT_EQ(FormatSize(&withExtra), 18);
    TWaveFormatHolder copy(CopyWaveFormat(&withExtra));
    EXPECT_EQ(copy->cbSize, 0);
}

TEST(WaveFoundation, FindMinMaxGivesTheFirstExtremeFirst)
{
    const TWaveFormatEx mono16 = PcmFormat(16, 1, 8000);
    int lf, ls, rf, rs;
    const std::int16_t a[] = {100, -200, 300};
    PcmFindMinMax(&mono16, a, sizeof a, lf, ls, rf, rs);
    EXPECT_EQ(lf, -200);
    EXPECT_EQ(ls, 300);
    EXPECT_EQ(rf, -200);
    const std::int16_t b[] = {300, -200};
    PcmFindMinMax(&mono16, b, sizeof b, lf, ls, rf, rs);
    EXPECT_EQ(lf, 300);
    EXPECT_EQ(ls, -200);
    PcmFindMinMax(&mono16, b, 1, lf, ls, rf, rs);
    EXPECT_EQ(lf, 0);
    const TWaveFormatEx stereo8 = PcmFormat(8, 2, 8000);
    const unsigned char c[] = {128, 10, 200, 250, 0, 128};
    PcmFindMinMax(&stereo8, c, 5, lf, ls, rf, rs);  // two whole frames
    EXPECT_EQ(lf, 128);
    EXPECT_EQ(ls, 200);
    EXPECT_EQ(rf, 10);
    EXPECT_EQ(rs, 250);
}

TEST(WaveFoundation, CutListKeepsRegionsInOrder)
{
    TSndCutList list;
    EXPECT_EQ(list.IndexAfter(5), -1);
    EXPECT_TRUE(list.AddRegion({100, 0, 50, 0, 0}));
    EXPECT_TRUE(list.AddRegion({0, 0, 10, 0, 0}));
    EXPECT_TRUE(list.AddRegion({300, 0, 10, 0, 0}));
    EXPECT_FALSE(list.AddRegion({120, 0, 5, 0, 0}));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Items(0).Start, 0);
    EXPECT_EQ(list.Items(1).Start, 100);
    EXPECT_EQ(list.RegionIndexAt(149), 1);
    EXPECT_EQ(list.RegionIndexAt(150), -1);
    EXPECT_EQ(list.IndexAfter(300), 3);
    EXPECT_EQ(list.Capacity(), 4);
    EXPECT_THROW(list.Insert(5, {}), EListError);
    EXPECT_THROW(list.Items(3), EListError);
    TSndCutList copy;
    copy.Assign(&list);
    EXPECT_EQ(copy.Count(), 3);
}

TEST(WaveFoundation, BitmapInfoBlocks)
{
    TBitmapInfo* info = CreateBitmapInfo(8, -1, 0, true, 3);
    EXPECT_EQ(info->bmiHeader.biWidth, 1);
    EXPECT_EQ(info->bmiHeader.biHeight, -3);
    EXPECT_EQ(info->bmiHeader.biSizeImage, 12u);
    EXPECT_EQ(info->bmiHeader.biClrUsed, 256u);
    EXPECT_EQ(info->bmiColors[17].rgbRed, 128);
    EXPECT_EQ(DIBSize(&info->bmiHeader), 40 + 12 + 1024);
    GlobalFreeMem(info);
    TBitmapInfo* deep = CreateBitmapInfo(16, 1, 10, false, 10);
    EXPECT_EQ(deep->bmiHeader.biBitCount, 24);
    EXPECT_EQ(deep->bmiHeader.biSizeImage, 0u);
    GlobalFreeMem(deep);
    TLogPalette* palette = CreateSystemPalette();
    EXPECT_EQ(palette->palVersion, 0x0300);
    EXPECT_EQ(palette->palPalEntry[255].peBlue, 255);
    EXPECT_EQ(palette->palPalEntry[8].peGreen, 220);
    GlobalFreeMem(palette);
}
