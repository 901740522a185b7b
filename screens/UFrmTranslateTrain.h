#pragma once

// Translation training on an audio lesson, over the audio player with its
// waveform.

#include "UTranslateScreen.h"

class TPiboAudioPlay;

class TFrmTranslateTrain : public TTranslateScreen {
    Q_OBJECT
public:
    explicit TFrmTranslateTrain(QWidget* parent = nullptr);
    ~TFrmTranslateTrain() override;

    TPiboAudioPlay* Player() const { return FPlayer; }

    // The temporary clip of "收藏本句" in the program's temp/ folder.
    static QString AddClipPath();

    int SentenceCount() const override;
    QString EnglishOf(int index) const override;
    QString ChinaOf(int index) const override;
    QString PlayerFileName() const override;

    void panContainResize();

protected:
    void CreatePlayer() override;
    bool PlayerExists() const override { return FPlayer != nullptr; }
    void StopForReload() override;
    void OpenPlayerFile() override;
    void ReloadSentences() override;
    void SelectOnly(int index) override;
    void PositionAtSentence() override;
    QString MakeClip(int index) override;
    void RemoveClip(const QString& path) override;
    void StopClicked() override;
    void ContainResized() override;

private:
    // The item of queue entry index, or -1.
    int ItemOf(int index) const;

    TPiboAudioPlay* FPlayer = nullptr;
};
