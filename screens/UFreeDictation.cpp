#include "UFreeDictation.h"

#include "UDataOperaterFun.h"
#include "UDictationCheck.h"
#include "UDictationFiles.h"
#include "UFrmFreeCheck.h"
#include "UPiboVideoClass.h"

#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr TColor EditorColor = 16775405;
constexpr TColor ActiveLineColor = 16641751;

TTransportOptions FreeOptions()
{
    TTransportOptions options;
    options.HasAgain = true;
    return options;
}

} // namespace

TFreeDictationScreen::TFreeDictationScreen(QWidget* parent, bool video)
    : TDictationScreen(parent, video, video, PpfExtension, FreeOptions())
{
    ShowCheckDialog = [](const TSingleCheckTotalRes& res, const QStringList& typedLines) {
        TFrmFreeCheck dialog;
        dialog.CheckRes = &res;
        dialog.TypedLines = typedLines;
        dialog.ShowModal();
    };
    panGridClient = new QWidget(this);
    panGridClient->setObjectName(QStringLiteral("panGridClient"));
    auto* client = new QVBoxLayout(panGridClient);
    client->setContentsMargins(0, 0, 0, 0);
    TDictationEditorSetup setup;
    setup.Gutter = true;
    setup.OneAndHalf = true;
    setup.Color = EditorColor;
    setup.ActiveBackground = ActiveLineColor;
    rdeEdit = MakeDictationEditor(panGridClient, setup);
    rdeEditWidget = EditorWidget(rdeEdit);
    rdeEditWidget->setObjectName(QStringLiteral("rdeEdit"));
    client->addWidget(rdeEditWidget);
    FLayout->addWidget(panGridClient, 1);
    sscSpellCheck = MakeDictationSpellCheck(rdeEdit);
    AddBottomBar();
    // Stop goes back to the first sentence and stays stopped. The video
    // player's jump to the first sentence would play again from there when
    // every sentence plays, so the video screen only moves its index.
    FTransport->OnStopped = [this] {
        if (FVideo)
            FVideoPlayer->GotoSentence(0);
        else
            FTransport->Player()->SetPlayQueueIndex(0);
    };
}

void TFreeDictationScreen::FormShow()
{
    CreatePlayer(nullptr);
    OpenMedia();
    FTransport->RefreshButtons();
    rdeEditWidget->setFocus();
    OpenSpellLists();
    FormResize();
    FTransport->ppsbEnglishClick();
    FTransport->ppsbChinaClick();
    ChainTabOrder({rdeEditWidget});
}

void TFreeDictationScreen::OpenMedia()
{
    OpenPlayerFile();
    ResetTest();
    FTransport->ResetForFile();
}

void TFreeDictationScreen::ReloadFile()
{
    RunGuarded([this] {
        if (!FShown)
            return;
        StopPlayer();
        OpenMedia();
        FTransport->RefreshButtons();
        rdeEditWidget->setFocus();
    });
}

void TFreeDictationScreen::ReloadSubtitle()
{
    RunGuarded([this] {
        if (!FShown)
            return;
        StopPlayer();
        ReloadSentences();
        ResetTest();
        FTransport->RefreshButtons();
    });
}

void TFreeDictationScreen::FormResize()
{
    FTransport->LayoutBar();
}

void TFreeDictationScreen::ResetTest()
{
    ResetFreeTest(CheckRes, QFileInfo(PlayerFileName()).fileName(), EnglishLines());
}

void TFreeDictationScreen::CheckAll()
{
    CheckAllFree(CheckRes, QFileInfo(PlayerFileName()).fileName(), EditorLines(rdeEdit), labTime->text());
}

void TFreeDictationScreen::PiboSpeedButton1Click()
{
    const QStringList lines = EditorLines(rdeEdit);
    CheckAll();
    if (ShowCheckDialog)
        ShowCheckDialog(CheckRes, lines);
}

void TFreeDictationScreen::sbClearClick()
{
    Timer->stop();
    labTime->setText(QStringLiteral("00:00:00"));
    Timer->start();
    ResetTest();
    ClearEditor(rdeEdit);
}

bool TFreeDictationScreen::ExportAnswers(const QString& path)
{
    return WriteDictationFile(path, SystemPara.FilePath, EditorLines(rdeEdit));
}

void TFreeDictationScreen::RestoreAnswers(const QStringList& lines)
{
    for (int i = 0; i < lines.size(); ++i)
        AddEditorLine(rdeEdit, lines[i], i == 0);
}
