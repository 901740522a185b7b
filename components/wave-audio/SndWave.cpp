#include "SndWave.h"

#include "SndUtils.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
// The most SaveRegionToFile copies in one step.
constexpr std::int64_t MaxCopyChunk = 1 << 20;
}  // namespace

ESndWaveError ESndWaveError::FromMessage(int n)
{
    return ESndWaveError(LoadResStr(n));
}

// ---------------------------------------------------------------- TSndWave

TSndWave::TSndWave() = default;

TSndWave::~TSndWave()
{
    ClearWave();
}

void TSndWave::Fail(int message) const
{
    throw ESndWaveError::FromMessage(message);
}

void TSndWave::Changed()
{
    if (FSuspended) {
        FChangePending = true;
        return;
    }
    FChangePending = false;
    TSndObject::Changed();
    FObservable.NotifyObservers(this);
}

void TSndWave::DoProgress(std::int64_t curByte, std::int64_t numBytes, bool& cancel)
{
    if (OnProgress)
        OnProgress(this, curByte, numBytes, cancel);
}

void TSndWave::SetTimeFormat(TSndTimeFormats value)
{
    FTimeFormat = value;
    RebuildRegions();
}

std::uint16_t TSndWave::BitLength() const
{
    return FInfo ? FInfo->Format()->wBitsPerSample : 0;
}

TSndMode TSndWave::Mode() const
{
    return (FInfo && FInfo->Format()->nChannels == 2) ? mStereo : mMono;
}

std::uint16_t TSndWave::FormatTag() const
{
    return FInfo ? FInfo->Format()->wFormatTag : 0;
}

QString TSndWave::FormatString() const
{
    return FInfo ? FormatTagName(FInfo->Format()) : LoadResStr(6);
}

std::uint32_t TSndWave::SampleRate() const
{
    return FInfo ? FInfo->Format()->nSamplesPerSec : 11025;
}

std::int64_t TSndWave::FileSize() const
{
    return FInfo ? FInfo->FileSize : 0;
}

std::int64_t TSndWave::DataSize() const
{
    return FInfo ? SamplesToTimeFormat(FInfo->Length) : 0;
}

void TSndWave::SetIOBufferSize(std::int32_t value)
{
    FIOBufferSize = std::max<std::int32_t>(8192, value);
    if (FInfo && FInfo->Handle && SetWaveIOBuffer(FInfo, FIOBufferSize) != WIOERR_NOERROR)
        Fail(137);
}

std::int64_t TSndWave::ReadRaw(void* buffer, std::int64_t count)
{
    return ReadWaveData(FInfo, buffer, count);
}

TWaveFormatEx* TSndWave::GetPWaveFormat() const
{
    return FInfo ? FInfo->Format() : nullptr;
}

std::int64_t TSndWave::SamplesToBytes(std::int64_t samples) const
{
    return FInfo ? ::SamplesToBytes(FInfo->Format(), samples) : 0;
}

std::int64_t TSndWave::BytesToSamples(std::int64_t bytes) const
{
    return FInfo ? ::BytesToSamples(FInfo->Format(), bytes) : 0;
}

std::int64_t TSndWave::SamplesToTimeFormat(std::int64_t samples) const
{
    if (!FInfo)
        return 0;
    switch (FTimeFormat) {
    case tfMillisecond: return ::SamplesToMs(FInfo->Format(), samples);
    case tfByte: return ::SamplesToBytes(FInfo->Format(), samples);
    case tfSample: return samples;
    }
    return samples;
}

std::int64_t TSndWave::TimeFormatToSamples(std::int64_t value) const
{
    if (!FInfo)
        return 0;
    switch (FTimeFormat) {
    case tfMillisecond: return ::MsToSamples(FInfo->Format(), value);
    case tfByte: return ::BytesToSamples(FInfo->Format(), value);
    case tfSample: return value;
    }
    return value;
}

void TSndWave::SetCutSource(const TSndCutList*)
{
    // The program never leaves sections out: the play range stays one region.
    RebuildRegions();
}

void TSndWave::RebuildRegions()
{
    if (!FInfo) {
        FRegions.Clear();
        return;
    }
    TSndCutRegion region;
    region.Start = FStartPos;
    region.StartBytes = SamplesToBytes(FStartPos);
    region.Length = FEndPos - FStartPos;
    region.LengthBytes = SamplesToBytes(FEndPos - FStartPos);
    // In place when there is one already (every write of a recording comes here).
    if (FRegions.Count() == 1) {
        FRegions.Replace(0, region);
        return;
    }
    FRegions.Clear();
    FRegions.Add(region);
}

std::int64_t TSndWave::PlayLength() const
{
    std::int64_t length = 0;
    for (int i = 0; i < FRegions.Count(); ++i)
        length += FRegions.Items(i).Length;
    return length;
}

bool TSndWave::HasData() const
{
    return FInfo && FInfo->Length > 0;
}

void TSndWave::ClearWave()
{
    if (FInfo)
        FreeWaveInfo(FInfo);
    FFileName.clear();
    FRegions.Clear();
    FStartPos = FEndPos = FPosition = 0;
    FBytesLeft = FTotalBytes = FRegionBytesLeft = 0;
    FRegionIndex = 0;
    FOpened = false;
}

void TSndWave::FreeWave()
{
    if (FFileName.isEmpty() && !FInfo)
        return;
    ClearWave();
    Changed();
}

void TSndWave::TakeRecord(PSndWaveIOInfo info)
{
    ClearWave();
    FInfo = info;
    FStartPos = info->First;
    FEndPos = info->Last;
    FPosition = info->Position;
    FBytesLeft = info->BytesLeft;
}

void TSndWave::SetFileName(const QString& value)
{
    const QString fullName = value.isEmpty() ? QString() : QFileInfo(value).absoluteFilePath();
    if (!fullName.isEmpty() && fullName == FFileName && SndFileSize(fullName) == FileSize())
        return;
    if (fullName.isEmpty()) {
        FreeWave();
        return;
    }
    const bool exists = SndFileSize(fullName) >= 0;
    PSndWaveIOInfo info = nullptr;
    if (exists && ParseWaveFile(info, fullName) == WIOERR_NOERROR) {
        TakeRecord(info);
        FFileName = fullName;
        RebuildRegions();
        Changed();
        return;
    }
    if (exists || FFileMustExist)
        Fail(exists ? 133 : 130);
    ClearWave();
    FFileName = fullName;
    Changed();
}

void TSndWave::SetStartPos(std::int64_t value)
{
    if (!FInfo)
        return;
    FStartPos = MinMaxProc(TimeFormatToSamples(value), std::int64_t(0), FEndPos);
    RebuildRegions();
}

void TSndWave::SetEndPos(std::int64_t value)
{
    if (!FInfo)
        return;
    FEndPos = MinMaxProc(TimeFormatToSamples(value), FStartPos, FInfo->Length);
    RebuildRegions();
}

void TSndWave::OpenFile()
{
    if (!FInfo)
        return;
    if (ReopenWaveFile(FInfo) != WIOERR_NOERROR)
        Fail(138);
    if (SetWaveIOBuffer(FInfo, FIOBufferSize) != WIOERR_NOERROR)
        Fail(137);
    RebuildRegions();
    FOpened = true;
    SetPosition(GetPosition());
}

void TSndWave::CloseFile()
{
    if (FInfo) {
        CloseWaveFile(FInfo);
        FEndPos = std::min(FEndPos, FInfo->Length);
    }
    FOpened = false;
    FPosition = 0;
    FBytesLeft = 0;
    FRegionBytesLeft = 0;
}

std::int64_t TSndWave::GetPosition() const
{
    if (!FInfo)
        return -1;
    return SamplesToTimeFormat(FPosition);
}

void TSndWave::SetPosition(std::int64_t value)
{
    if (!FInfo)
        return;
    PositionChanging(true);
    FPosition = TimeFormatToSamples(value);
    if (!FOpened)
        return;
    const std::int64_t playLength = PlayLength();
    const std::int64_t p = MinMaxProc(FPosition, std::int64_t(0), playLength);
    FPosition = p;
    FTotalBytes = SamplesToBytes(playLength);
    FBytesLeft = FTotalBytes - SamplesToBytes(p);
    std::int64_t sum = 0;
    int index = -1;
    for (int i = 0; i < FRegions.Count(); ++i) {
        sum += FRegions.Items(i).Length;
        if (sum >= p) {
            index = i;
            break;
        }
    }
    if (index < 0)
        Fail(147);
    const TSndCutRegion& region = FRegions.Items(index);
    const std::int64_t fileSample = region.Start + region.Length + p - sum;
    if (SeekWaveData(FInfo, fileSample) != WIOERR_NOERROR && SeekWaveData(FInfo, fileSample) != WIOERR_NOERROR)
        Fail(147);
    FRegionBytesLeft = SamplesToBytes(sum - p);
    FRegionIndex = index;
    PositionChanging(false);
}

std::int64_t TSndWave::ReadData(void* buffer, std::int64_t count)
{
    if (!FInfo || FBytesLeft <= 0 || !buffer || count <= 0)
        return -1;
    auto* out = static_cast<char*>(buffer);
    std::int64_t want = std::min(count, FBytesLeft);
    std::int64_t delivered = 0;
    while (want > 0) {
        if (FRegionBytesLeft <= 0) {
            if (FRegionIndex + 1 >= FRegions.Count()) {
                FBytesLeft = 0;
                break;
            }
            ++FRegionIndex;
            const TSndCutRegion& region = FRegions.Items(FRegionIndex);
            FRegionBytesLeft = region.LengthBytes;
            if (SeekWaveData(FInfo, region.Start) != WIOERR_NOERROR)
                break;
            continue;
        }
        const std::int64_t got = ReadRaw(out + delivered, std::min(want, FRegionBytesLeft));
        if (got < 1)
            break;
        FRegionBytesLeft -= got;
        want -= got;
        delivered += got;
    }
    if (delivered == 0) {
        // The file ended before the play range did: nothing is made up.
        FBytesLeft = 0;
        FRegionBytesLeft = 0;
        FPosition = PlayLength();
        return 0;
    }
    FBytesLeft = std::max<std::int64_t>(0, FBytesLeft - delivered);
    FPosition = BytesToSamples(FTotalBytes - FBytesLeft);
    return delivered;
}

std::int64_t TSndWave::WriteData(const void* buffer, std::int64_t count)
{
    if (!FInfo)
        return -1;
    const std::int64_t written = WriteWaveData(FInfo, buffer, count);
    FEndPos = FInfo->Last;
    RebuildRegions();
    return written;
}

void TSndWave::CreateFromFormat(const TWaveFormatEx* format)
{
    PSndWaveIOInfo info = nullptr;
    if (CreateWaveInfo(info, format) != WIOERR_NOERROR)
        Fail(139);
    TakeRecord(info);
    RebuildRegions();
    Changed();
}

void TSndWave::CreateNewFile(const QString& fileName, const TWaveFormatEx* format)
{
    const QString fullName = fileName.isEmpty() ? QString() : QFileInfo(fileName).absoluteFilePath();
    if (!format || !ParseWaveFileName(fullName))
        Fail(139);
    if (WaveFileExists(fullName) && !DeleteWaveFile(fullName))
        Fail(139);
    PSndWaveIOInfo info = nullptr;
    if (CreateWaveInfo(info, format) != WIOERR_NOERROR)
        Fail(139);
    if (CreateWaveFile(info, fullName) != WIOERR_NOERROR) {
        FreeWaveInfo(info);
        Fail(139);
    }
    TakeRecord(info);
    FFileName = fullName;
    RebuildRegions();
    Changed();
    if (SetWaveIOBuffer(FInfo, FIOBufferSize) != WIOERR_NOERROR)
        Fail(137);
}

void TSndWave::SaveRegionToFile(const QString& fileName)
{
    if (!FInfo || fileName.isEmpty())
        Fail(134);
    const QString target = QFileInfo(fileName).absoluteFilePath();
    SetPosition(0);
    OpenFile();
    const std::int64_t total = BytesLeft();

    PSndWaveIOInfo temp = nullptr;
    QString tempName = QFileInfo(target).absolutePath() + QLatin1Char('/');
    bool tempMade = false;
    bool failed = false;
    bool cancel = false;
    std::vector<char> buffer;
    try {
        if (CreateWaveInfo(temp, FInfo->Format()) != WIOERR_NOERROR || CopyWaveLists(temp, FInfo) != WIOERR_NOERROR)
            failed = true;
        if (!failed) {
            tempMade = GetTempWaveName(tempName);
            failed = !tempMade || CreateWaveFile(temp, tempName) != WIOERR_NOERROR;
        }
        if (!failed) {
            // The copy goes in whole blocks of at most about a second, and
            // never more than the region holds: the header's rate is the
            // file's word and may be anything up to 4 GiB a second.
            const TWaveFormatEx* format = FInfo->Format();
            const std::int64_t align = std::max<std::int64_t>(1, format->nBlockAlign);
            const std::int64_t second = std::min<std::int64_t>(format->nAvgBytesPerSec, MaxCopyChunk);
            const std::int64_t chunk =
                std::min(std::max<std::int64_t>(align, second / align * align), std::max<std::int64_t>(total, 0));
            buffer.resize(static_cast<std::size_t>(chunk));
            QCoreApplication* app = QCoreApplication::instance();
            const bool guiThread = app && QThread::currentThread() == app->thread();
            std::int64_t copied = 0;
            while (copied < total) {
                const std::int64_t got = ReadData(buffer.data(), std::min(chunk, total - copied));
                if (got < 1)
                    break;
                copied += got;
                if (!HasDiskSpace(target, got + FIOBufferSize + 10240) ||
                    WriteWaveData(temp, buffer.data(), got) < got) {
                    failed = true;
                    break;
                }
                if (guiThread)
                    QCoreApplication::processEvents();
                DoProgress(copied, total, cancel);
                if (cancel) {
                    failed = true;
                    break;
                }
            }
            // A source that ended early gives no complete copy.
            if (!failed && copied < total)
                failed = true;
        }
        if (!failed) {
            CloseFile();
            if (CloseWaveFile(temp) != WIOERR_NOERROR)
                failed = true;
            else if (std::rename(QFile::encodeName(tempName).constData(), QFile::encodeName(target).constData()) != 0)
                failed = true;
            else
                tempMade = false;
        }
    } catch (...) {
        failed = true;
    }
    CloseFile();
    if (temp)
        FreeWaveInfo(temp);
    if (tempMade)
        QFile::remove(tempName);
    if (failed)
        Fail(cancel ? 141 : 140);
}

void TSndWave::Assign(const TSndWave* source)
{
    if (source == this)
        return;
    if (!source) {
        FreeWave();
        return;
    }
    ClearWave();
    FFileMustExist = source->FFileMustExist;
    FSuspended = true;
    try {
        if (!source->FFileName.isEmpty())
            SetFileName(source->FFileName);
        else if (source->GetPWaveFormat())
            CreateFromFormat(source->GetPWaveFormat());
        else
            Changed();
        FTimeFormat = source->FTimeFormat;
        if (FInfo) {
            FStartPos = MinMaxProc(source->FStartPos, std::int64_t(0), FInfo->Length);
            FEndPos = MinMaxProc(source->FEndPos, FStartPos, FInfo->Length);
        }
        RebuildRegions();
        FPosition = source->FPosition;
        FIOBufferSize = source->FIOBufferSize;
    } catch (...) {
        FSuspended = false;
        if (FChangePending)
            Changed();
        throw;
    }
    FSuspended = false;
    if (FChangePending)
        Changed();
}

// ---------------------------------------------------------------- TSndCustomWaveFile

TSndCustomWaveFile::TSndCustomWaveFile(QObject* owner)
    : TSndDSPComponent(owner), FWave(std::make_unique<TSndWave>()), FObserver(std::make_unique<TSndObserver>())
{
    FObserver->OnNotify = [this](TSndObserver*, void*) { WaveChanged(); };
    FWave->AddObserver(FObserver.get());
}

TSndCustomWaveFile::~TSndCustomWaveFile()
{
    try {
        Closed();
    } catch (...) {
    }
    FWave->RemoveObserver(FObserver.get());
    FObserver.reset();
    FWave.reset();
}

void TSndCustomWaveFile::WaveChanged()
{
    if (OnChange)
        OnChange(this);
    try {
        if (FWave->FileMustExist() || FWave->GetPWaveFormat())
            SetPWaveFormat(FWave->GetPWaveFormat());
    } catch (...) {
        if (OnChanged)
            OnChanged(this);
        throw;
    }
    if (OnChanged)
        OnChanged(this);
}

void TSndCustomWaveFile::SetPWaveFormat(const TWaveFormatEx* format)
{
    TSndDSPComponent::SetPWaveFormat(format);
    const TWaveFormatEx* own = GetPWaveFormat();
    FSilenceByte = (own && own->wFormatTag == WAVE_FORMAT_PCM && own->wBitsPerSample == 8) ? 128 : 0;
}

void TSndCustomWaveFile::DoOpen()
{
    if (OnOpen)
        OnOpen(this);
}

void TSndCustomWaveFile::DoClose()
{
    if (OnClose)
        OnClose(this);
}

void TSndCustomWaveFile::Opened()
{
    TSndDSPComponent::Opened();
    if (FWaveOpened)
        return;
    if (Input()) {
        SetPWaveFormat(Input()->GetPWaveFormat());
        const TWaveFormatEx* format = GetPWaveFormat();
        if (format && !FWave->FileName().isEmpty()) {
            // The disk the file lies on, asked before every write.
            FWriteFolder = QFile::encodeName(QFileInfo(FWave->FileName()).absolutePath());
            if (FOverwriteExisting || !FWave->HasData())
                FWave->CreateNewFile(FWave->FileName(), format);
            else
                FWave->OpenFile();
            FWaveOpened = true;
        }
    } else if (FWave->HasData()) {
        FWave->OpenFile();
        FSavedStartPos = FWave->GetPosition();
        FWaveOpened = true;
    }
    if (FWaveOpened && OnOpen)
        CallInMainThread([this] { DoOpen(); });
}

void TSndCustomWaveFile::Closed()
{
    if (FWaveOpened) {
        Stopped();
        if (Input() && !FWave->FileName().isEmpty() && GetPWaveFormat() && !FWave->HasData()) {
            const char zeros[4] = {0, 0, 0, 0};
            FWave->WriteData(zeros, 4);
        }
        FWave->CloseFile();
        FWaveOpened = false;
        if (OnClose)
            CallInMainThread([this] { DoClose(); });
    }
    TSndDSPComponent::Closed();
}

void TSndCustomWaveFile::Started()
{
    TSndDSPComponent::Started();
    if (FWaveOpened && !FWaveStarted) {
        FWaveStarted = true;
        if (!Input())
            FWave->SetPosition(FSavedStartPos);
    }
}

void TSndCustomWaveFile::Stopped()
{
    if (FWaveOpened && FWaveStarted)
        FWaveStarted = false;
    TSndDSPComponent::Stopped();
}

void TSndCustomWaveFile::ChainReset()
{
    TSndDSPComponent::ChainReset();
}

void TSndCustomWaveFile::WriteBuffer(TSndWaveHdr* lpWaveHdr)
{
    if (!FWaveStarted || !FEnabled || FWave->FileName().isEmpty() || !lpWaveHdr || lpWaveHdr->dwBytesRecorded == 0)
        return;
    const std::int64_t bytes = lpWaveHdr->dwBytesRecorded;
    if (!HasDiskSpaceIn(FWriteFolder, bytes + FWave->IOBufferSize() + 10240) ||
        FWave->WriteData(lpWaveHdr->lpData, bytes) < 1)
        Closed();
}

void TSndCustomWaveFile::BufferLoad(TSndWaveHdr* lpWaveHdr, bool& moreBuffers)
{
    if (!lpWaveHdr)
        return;
    if (Input()) {
        TSndDSPComponent::BufferLoad(lpWaveHdr, moreBuffers);
        WriteBuffer(lpWaveHdr);
        return;
    }
    if (FWave->HasData() && FWaveStarted && FEnabled) {
        const std::int64_t n = std::max<std::int64_t>(FWave->ReadData(lpWaveHdr->lpData, lpWaveHdr->dwBufferLength), 0);
        lpWaveHdr->dwBytesRecorded = static_cast<std::uint32_t>(n);
        if (n > 0) {
            if (FWave->BytesLeft() > 0) {
                moreBuffers = true;
            } else if (lpWaveHdr->wh_Looping) {
                if (lpWaveHdr->wh_LoopCount > 0)
                    --lpWaveHdr->wh_LoopsRemaining;
                if (!(lpWaveHdr->wh_LoopCount > 0 && lpWaveHdr->wh_LoopsRemaining < 0)) {
                    FWave->SetPosition(0);
                    if (OnLooping)
                        OnLooping(this);
                    moreBuffers = true;
                    lpWaveHdr->wh_LoopRestart = -1;
                }
            }
        }
    } else if (!FWave->HasData()) {
        lpWaveHdr->dwBytesRecorded = 0;
    } else {
        std::memset(lpWaveHdr->lpData, FSilenceByte, lpWaveHdr->dwBufferLength);
        lpWaveHdr->dwBytesRecorded = lpWaveHdr->dwBufferLength;
        moreBuffers = true;
    }
}

void TSndCustomWaveFile::BufferReady(TSndWaveHdr* lpWaveHdr)
{
    if (Input())
        WriteBuffer(lpWaveHdr);
    TSndDSPComponent::BufferReady(lpWaveHdr);
}
