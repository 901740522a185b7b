#include "UFrmTranslateTrain.h"

#include "ProgramFolder.h"
#include "UPiboAudioPlay.h"

#include <QtCore/QFile>

TFrmTranslateTrain::TFrmTranslateTrain(QWidget* parent) : TTranslateScreen(parent, false) {}

TFrmTranslateTrain::~TFrmTranslateTrain()
{
    // The player goes first: its events reach into the screen.
    if (FPlayer) {
        FPlayer->OnPlayProgress = nullptr;
        FPlayer->OnPlayIndexChange = nullptr;
        FPlayer->OnPlayOver = nullptr;
        Transport()->SetPlayer(nullptr);
        delete FPlayer;
        FPlayer = nullptr;
    }
    // The sound ended with the player: the main window may resize again.
    SystemPara.IsPlaying = false;
}

QString TFrmTranslateTrain::AddClipPath()
{
    return ProgramFolder() + QStringLiteral("temp/PiboTempAddSentence.mp3");
}

void TFrmTranslateTrain::CreatePlayer()
{
    FPlayer = new TPiboAudioPlay(panContain);
    FPlayer->setGeometry(panContain->rect());
    FPlayer->SetHasOscope(true);
    FPlayer->SetDownEnabled(false);
    FPlayer->SetPlayType(ptSelect);
    FPlayer->OnPlayIndexChange = [](QObject*, int) {};
    FPlayer->OnPlayProgress = [this](QObject*, int playTime) { Transport()->Progress(playTime); };
    FPlayer->OnPlayOver = [this](QObject*) { RunGuarded([this] { Transport()->PlayOver(); }); };
    FPlayer->show();
    Transport()->SetPlayer(MakeTransportPlayer(FPlayer));
}

int TFrmTranslateTrain::ItemOf(int index) const
{
    if (!FPlayer || index < 0 || index >= FPlayer->PlayQueue().size())
        return -1;
    const int item = FPlayer->PlayQueue().at(index);
    return item >= 0 && item < FPlayer->Count() ? item : -1;
}

int TFrmTranslateTrain::SentenceCount() const
{
    return FPlayer ? FPlayer->Count() : 0;
}

QString TFrmTranslateTrain::EnglishOf(int index) const
{
    const int item = ItemOf(index);
    return item < 0 ? QString() : FPlayer->AudioLrcItems().at(item).English;
}

QString TFrmTranslateTrain::ChinaOf(int index) const
{
    const int item = ItemOf(index);
    return item < 0 ? QString() : FPlayer->AudioLrcItems().at(item).China;
}

QString TFrmTranslateTrain::PlayerFileName() const
{
    return FPlayer ? FPlayer->FileName() : QString();
}

void TFrmTranslateTrain::StopForReload()
{
    if (FPlayer->IsPlaying() || FPlayer->IsPaused())
        FPlayer->Stop();
}

void TFrmTranslateTrain::OpenPlayerFile()
{
    FPlayer->SetFileName(MediaFile());
    FPlayer->LoadLrc(FPlayer->FileName(), false);
}

void TFrmTranslateTrain::ReloadSentences()
{
    FPlayer->LoadLrc(FPlayer->FileName(), false);
}

void TFrmTranslateTrain::SelectOnly(int index)
{
    for (int q = 0; q < FPlayer->Count(); ++q)
        FPlayer->SetSelected(q, false);
    FPlayer->SetPlayQueueIndex(index);
    FPlayer->SetSelected(index, true);
}

void TFrmTranslateTrain::PositionAtSentence()
{
    if (FPlayer->IsPlaying() || FPlayer->IsPaused())
        FPlayer->Stop();
    FPlayer->SeekSentenceStart();
}

QString TFrmTranslateTrain::MakeClip(int index)
{
    const QString path = AddClipPath();
    QFile::remove(path);
    const int item = ItemOf(index);
    // A clip that could not be made leaves the sentence without its sound.
    if (item >= 0)
        FPlayer->SaveSentenceMp3(item, ProgramFolder() + QStringLiteral("temp/"),
                                 QStringLiteral("PiboTempAddSentence.mp3"));
    return path;
}

void TFrmTranslateTrain::RemoveClip(const QString& path)
{
    QFile::remove(path);
}

void TFrmTranslateTrain::StopClicked()
{
    FPlayer->SetPlayQueueIndex(0);
}

void TFrmTranslateTrain::ContainResized()
{
    panContainResize();
}

void TFrmTranslateTrain::panContainResize()
{
    if (FPlayer) {
        FPlayer->setGeometry(panContain->rect());
        FPlayer->RefreshOscope();
    }
}
