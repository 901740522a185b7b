#pragma once

// Translation training on a video lesson, over the video player.

#include "UTranslateScreen.h"

class TPiboVideoClass;

class TFrmVTranslateTrain : public TTranslateScreen {
    Q_OBJECT
public:
    explicit TFrmVTranslateTrain(QWidget* parent = nullptr);
    ~TFrmVTranslateTrain() override;

    TPiboVideoClass* Player() const { return FPlayer; }

    int SentenceCount() const override;
    QString EnglishOf(int index) const override;
    QString ChinaOf(int index) const override;
    QString PlayerFileName() const override;

protected:
    void CreatePlayer() override;
    bool PlayerExists() const override { return FPlayer != nullptr; }
    void StopForReload() override;
    void OpenPlayerFile() override;
    void ReloadSentences() override;
    void SelectOnly(int index) override;
    void PositionAtSentence() override;
    // Video sentences go to the library without sound.
    QString MakeClip(int) override { return QString(); }
    void RemoveClip(const QString&) override {}
    void StopClicked() override;
    void ContainResized() override;

private:
    TPiboVideoClass* FPlayer = nullptr;
};
