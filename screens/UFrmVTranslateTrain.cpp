#include "UFrmVTranslateTrain.h"

#include "UPiboVideoClass.h"

TFrmVTranslateTrain::TFrmVTranslateTrain(QWidget* parent) : TTranslateScreen(parent, true) {}

TFrmVTranslateTrain::~TFrmVTranslateTrain()
{
    if (FPlayer) {
        FPlayer->OnVideoProgress = nullptr;
        FPlayer->OnVideoPlayIndexChange = nullptr;
        FPlayer->OnVideoStateChange = nullptr;
        FPlayer->OnPlayOver = nullptr;
        Transport()->SetPlayer(nullptr);
        delete FPlayer;
        FPlayer = nullptr;
    }
}

void TFrmVTranslateTrain::CreatePlayer()
{
    FPlayer = new TPiboVideoClass(panContain);
    FPlayer->setGeometry(panContain->rect());
    FPlayer->SetVideoPlayType(vptSelect);
    FPlayer->OnVideoPlayIndexChange = [](QObject*, int) {};
    FPlayer->OnVideoProgress = [this](QObject*, std::int64_t playTime) { Transport()->Progress(playTime); };
    FPlayer->OnPlayOver = [this](QObject*) { RunGuarded([this] { RefreshButtons(); }); };
    FPlayer->OnVideoStateChange = [this](QObject*) { RunGuarded([this] { RefreshButtons(); }); };
    FPlayer->show();
    Transport()->SetPlayer(MakeTransportPlayer(FPlayer));
}

int TFrmVTranslateTrain::SentenceCount() const
{
    return FPlayer ? FPlayer->Count() : 0;
}

QString TFrmVTranslateTrain::EnglishOf(int index) const
{
    return FPlayer && index >= 0 && index < FPlayer->Count() ? FPlayer->VideoLrcItems().at(index).English : QString();
}

QString TFrmVTranslateTrain::ChinaOf(int index) const
{
    return FPlayer && index >= 0 && index < FPlayer->Count() ? FPlayer->VideoLrcItems().at(index).China : QString();
}

QString TFrmVTranslateTrain::PlayerFileName() const
{
    return FPlayer ? FPlayer->FileName() : QString();
}

void TFrmVTranslateTrain::StopForReload()
{
    FPlayer->Stop();
}

void TFrmVTranslateTrain::OpenPlayerFile()
{
    FPlayer->SetFileName(MediaFile());
    FPlayer->LoadSrt(FPlayer->FileName(), false);
}

void TFrmVTranslateTrain::ReloadSentences()
{
    FPlayer->LoadSrt(FPlayer->FileName(), false);
}

void TFrmVTranslateTrain::SelectOnly(int index)
{
    for (int i = 0; i < FPlayer->Count(); ++i)
        FPlayer->SetSelected(i, false);
    FPlayer->SetPlayQueueIndex(index);
    FPlayer->SetSelected(index, true);
}

void TFrmVTranslateTrain::PositionAtSentence()
{
    // Stopped again at the sentence's start, with its frame on show.
    FPlayer->Stop();
    FPlayer->Pause();
    FPlayer->SeekSentenceStart();
    FPlayer->Stop();
}

void TFrmVTranslateTrain::StopClicked()
{
    FPlayer->GotoFirst();
}

void TFrmVTranslateTrain::ContainResized()
{
    if (FPlayer)
        FPlayer->setGeometry(panContain->rect());
}
