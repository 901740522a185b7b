#include "MMWRec.h"

#include "SndWaveIO.h"

#include <QtCore/QCoreApplication>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>

#include <cstddef>
#include <cstring>
#include <utility>

TSndWaveRecorder::TSndWaveRecorder(QObject* owner) : TSndDSPComponent(owner)
{
    FWaveFile = std::make_unique<TSndWaveFile>();
    FWaveFile->Wave()->SetFileMustExist(false);
    FWaveFile->OnChange = [this](QObject*) {
        FUpdating = true;
        Stop();
        if (OnChange)
            OnChange(this);
    };
    FWaveFile->OnChanged = [this](QObject*) { FUpdating = false; };
    // A full disk or a failed write closes the file: the recording ends.
    FWaveFile->OnClose = [this](QObject*) { Stop(); };

    FWaveIn = std::make_unique<TSndWaveIn>();
    FWaveIn->SetOutput(FWaveFile.get());
    FWaveIn->OnOpen = [this](QObject*) {
        if (OnStart)
            OnStart(this);
    };
    FWaveIn->OnStop = [this](QObject*) {
        FWaveIn->Close();
        // A stop made by a close under way (the device's Close stops first)
        // leaves the device open here: the file is finished by that close,
        // and the recorder's stop is told once it is done.
        if (FWaveIn->State() & dsOpened) {
            FStopOwed = true;
            return;
        }
        TellStop();
    };
    FWaveIn->OnClose = [this](QObject*) {
        if (std::exchange(FStopOwed, false))
            TellStop();
    };
    FWaveIn->OnPause = [this](QObject*) {
        if (OnPause)
            OnPause(this);
    };
    FWaveIn->OnRestart = [this](QObject*) {
        if (OnRestart)
            OnRestart(this);
    };
    FWaveIn->OnBufferReady = [this](QObject*, TSndWaveHdr* hdr) {
        if (OnData)
            OnData(this, hdr);
    };

    SetInputLinkable(true);
    FWaveFile->SetOutput(this);
    SetInputLinkable(false);
}

TSndWaveRecorder::~TSndWaveRecorder()
{
    // A recording still running ends quietly.
    FDestroyingRecorder = true;
    FWaveFile->OnChange = nullptr;
    FWaveFile->OnChanged = nullptr;
    FWaveFile->OnClose = nullptr;
    Stop();
    FWaveIn->OnStop = nullptr;
    FWaveIn->OnClose = nullptr;
    // The device first: a close it still owes ends the file.
    delete FWaveIn.release();
    FWaveFile.reset();
}

std::int32_t TSndWaveRecorder::GetBufferSize() const
{
    return FWaveIn ? FWaveIn->BufferSize() : TSndDSPComponent::GetBufferSize();
}

void TSndWaveRecorder::SetBufferSize(std::int32_t value)
{
    if (FWaveIn)
        FWaveIn->SetBufferSize(value);
    else
        TSndDSPComponent::SetBufferSize(value);
}

void TSndWaveRecorder::SetTimeFormat(TSndTimeFormats value)
{
    FWaveIn->SetTimeFormat(value);
    Wave()->SetTimeFormat(value);
}

QString TSndWaveRecorder::InputFormat() const
{
    const TWaveFormatEx* format = FWaveIn->GetPWaveFormat();
    QString tag;
    QString details;
    if (!format || !GetFormatNames(format, tag, details))
        return QStringLiteral("Unknown");
    return tag + QLatin1Char(' ') + details;
}

void TSndWaveRecorder::SetInputFormat(const QString&)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMessageBox::information(nullptr, QCoreApplication::applicationName(),
                                 QStringLiteral("This is a read-only property, please use SelectFormat."),
                                 QMessageBox::Ok);
}

void TSndWaveRecorder::TellStop()
{
    if (OnStop && !FDestroyingRecorder)
        OnStop(this);
}

void TSndWaveRecorder::Start()
{
    if ((GetState() & dsStarted) || Wave()->FileName().isEmpty())
        return;
    FStopOwed = false;
    FEarlierLength = Wave()->GetPosition();
    FWaveIn->Start();
}

void TSndWaveRecorder::Stop()
{
    if (!FWaveIn)
        return;
    FWaveIn->Stop();
    FWaveIn->Close();
}

std::int64_t TSndWaveRecorder::GetPosition()
{
    if (FWaveIn->State() & dsOpened) {
        const std::int64_t position = FWaveIn->GetPosition();
        return OverwriteExisting() ? position : position + FEarlierLength;
    }
    return OverwriteExisting() ? 0 : Wave()->GetPosition();
}

void TSndWaveRecorder::SetPWaveFormat(const TWaveFormatEx* format)
{
    SetPWaveFormat(format, static_cast<std::size_t>(FormatSize(format)));
}

void TSndWaveRecorder::SetPWaveFormat(const TWaveFormatEx* format, std::size_t blockSize)
{
    if (FUpdating)
        return;
    if (FWaveIn && format) {
        if (blockSize < sizeof(TWaveFormatEx) || static_cast<std::size_t>(FormatSize(format)) > blockSize)
            FWaveIn->Error(LoadResStr(89));
        const TWaveFormatEx* own = FWaveIn->GetPWaveFormat();
        const std::int32_t size = FormatSize(format);
        // A PCM record has no extra bytes: its size field is not compared.
        const std::size_t compared =
            format->wFormatTag == WAVE_FORMAT_PCM ? offsetof(TWaveFormatEx, cbSize) : static_cast<std::size_t>(size);
        const bool differs = !own || FormatSize(own) != size || std::memcmp(own, format, compared) != 0;
        if (differs) {
            FWaveIn->SetPWaveFormat(format, blockSize);
            return;
        }
    }
    TSndDSPComponent::SetPWaveFormat(format);
}
