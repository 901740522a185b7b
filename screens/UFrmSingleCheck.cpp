#include "UFrmSingleCheck.h"

#include "viewer/RDRichDoc.h"
#include "styles/RDStyle.h"
#include "UFrmShowInfo.h"
#include "UPiboComponent.h"

#include <QtGui/QShowEvent>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

namespace {

constexpr TColor BarColor = 16709095;
constexpr TColor SeparatorColor = 15113246;
constexpr TColor CardColor = 11498249;
constexpr TColor ButtonColor = 13403664;
constexpr TColor OverBack = 196604;
constexpr TColor MissBack = 57670;

TFont LayoutFont(int height, bool bold = false, TColor color = clBlack)
{
    TFont font;
    font.Name = QStringLiteral("宋体");
    font.SetHeight(height);
    font.Bold = bold;
    font.Color = color;
    return font;
}

QLabel* HeaderLabel(QWidget* parent, QHBoxLayout* row, const char* name, const QString& text, const TFont& font)
{
    QLabel* label = NewLabel(parent, text);
    label->setObjectName(QString::fromLatin1(name));
    SetLabelFont(label, font);
    label->adjustSize();
    row->addWidget(label);
    return label;
}

void AddSeparator(QWidget* parent, QHBoxLayout* row)
{
    auto* line = new QWidget(parent);
    line->setFixedWidth(1);
    SetWidgetColor(line, SeparatorColor);
    row->addSpacing(8);
    row->addWidget(line);
    row->addSpacing(8);
}

TPiboSpeedButton* BarButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new TPiboSpeedButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->SetPiboSpeedButtonType(psbtCheckButton);
    // The caption is drawn in the button's own font.
    button->Font = LayoutFont(-12, true, ButtonColor);
    button->SetCaption(caption);
    return button;
}

}  // namespace

std::unique_ptr<TRDStyle> NewCheckStyleSheet()
{
    auto sheet = std::make_unique<TRDStyle>();
    for (int i = 0; i < CheckTextStyleCount; ++i) {
        const TCheckTextStyleDef& def = CheckTextStyleDef(i);
        TFontInfo* f = i < sheet->TextStyles().Count() ? sheet->TextStyles().Items(i) : sheet->TextStyles().Add();
        f->StyleName = def.Name;
        f->FontName = def.FontName;
        f->Size = def.Size;
        f->Style = (def.Bold ? fsBold : 0) | (def.StrikeOut ? fsStrikeOut : 0);
        if (def.Color >= 0)
            f->Color = static_cast<TColor>(def.Color);
        f->BackColor = def.Background >= 0 ? static_cast<TColor>(def.Background) : clNone;
        f->Jump = def.Jump;
        f->Unicode = false;
    }
    while (sheet->ParaStyles().Count() < 2)
        sheet->ParaStyles().Add();
    sheet->ParaStyles().Items(CheckParaSpaced)->SpaceBefore = CheckParaLineSpace;
    sheet->ParaStyles().Items(CheckParaCentered)->Alignment = TRDAlignment::rdaCenter;
    sheet->Color = clWhite;
    return sheet;
}

TFrmCheckWindow::TFrmCheckWindow(QWidget* parent) : TFrmModel(parent)
{
    SetClientSize(761, 462);
    SetTitle(QStringLiteral("单句听写校对结果"));
    SetWidgetColor(Panel6, clWhite);

    auto* column = new QVBoxLayout(Panel6);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // The totals and the legend of the marks.
    panHeader = new QWidget(Panel6);
    panHeader->setObjectName(QStringLiteral("panHeader"));
    panHeader->setFixedHeight(32);
    SetWidgetColor(panHeader, BarColor);
    auto* row = new QHBoxLayout(panHeader);
    row->setContentsMargins(10, 0, 10, 0);
    row->setSpacing(2);
    const TFont plain = LayoutFont(-15);
    labRightCount = HeaderLabel(panHeader, row, "labRightCount", QStringLiteral("正确率（100%）"), plain);
    AddSeparator(panHeader, row);
    labWordCount = HeaderLabel(panHeader, row, "labWordCount", QStringLiteral("单词总数（1123）"), plain);
    AddSeparator(panHeader, row);
    TFont wrong = LayoutFont(-15, false, 0x0000FF);
    wrong.StrikeOut = true;
    labWrong = HeaderLabel(panHeader, row, "labWrong", QStringLiteral("错拼"), wrong);
    labWrongRight = HeaderLabel(panHeader, row, "labWrongRight", QStringLiteral("纠错"), LayoutFont(-12, true));
    labWrongCount = HeaderLabel(panHeader, row, "labWrongCount", QStringLiteral("（0）"), plain);
    AddSeparator(panHeader, row);
    labOver = HeaderLabel(panHeader, row, "labOver", QStringLiteral("多拼"), plain);
    SetWidgetColor(labOver, OverBack);
    labOverCount = HeaderLabel(panHeader, row, "labOverCount", QStringLiteral("（0）"), plain);
    AddSeparator(panHeader, row);
    labMiss = HeaderLabel(panHeader, row, "labMiss", QStringLiteral("漏拼"), plain);
    SetWidgetColor(labMiss, MissBack);
    labMissCount = HeaderLabel(panHeader, row, "labMissCount", QStringLiteral("（0）"), plain);
    row->addStretch(1);
    column->addWidget(panHeader);

    // The "卡片" strip and the time line.
    auto* panCard = new QWidget(Panel6);
    panCard->setObjectName(QStringLiteral("panCard"));
    panCard->setFixedHeight(28);
    SetWidgetColor(panCard, clWhite);
    ediCard = new QLineEdit(QStringLiteral("卡片"), panCard);
    ediCard->setObjectName(QStringLiteral("ediCard"));
    ediCard->setFrame(false);
    {
        TFont card = LayoutFont(-16, true, CardColor);
        card.Charset = 134;  // GB2312
        ediCard->setFont(card.ToQFont());
        QPalette palette = ediCard->palette();
        palette.setColor(QPalette::Text, ToQColor(CardColor));
        palette.setColor(QPalette::Base, ToQColor(clWhite));
        ediCard->setPalette(palette);
    }
    ediCard->setGeometry(10, 4, 120, 22);
    column->addWidget(panCard);
    auto* panTime = new QWidget(Panel6);
    panTime->setObjectName(QStringLiteral("panTime"));
    panTime->setFixedHeight(22);
    SetWidgetColor(panTime, clWhite);
    labTimeDesc = NewLabel(panTime);
    labTimeDesc->setObjectName(QStringLiteral("labTimeDesc"));
    SetLabelFont(labTimeDesc, LayoutFont(-12, false, CardColor));
    labTimeDesc->move(10, 4);
    column->addWidget(panTime);

    // The marked document.
    RDStyle = NewCheckStyleSheet();
    rdCheckResult = new TRichDoc(Panel6);
    rdCheckResult->setObjectName(QStringLiteral("rdCheckResult"));
    rdCheckResult->SetBorderStyle(TBorderStyle::bsNone);
    rdCheckResult->LeftMargin = 10;
    rdCheckResult->SetDoInPaletteMode(TRDPaletteAction::rdpaCreateCopies);
    rdCheckResult->SetStyle(RDStyle.get());
    column->addWidget(rdCheckResult, 1);

    // The buttons.
    panBottom = new QWidget(Panel6);
    panBottom->setObjectName(QStringLiteral("panBottom"));
    panBottom->setFixedHeight(50);
    SetWidgetColor(panBottom, BarColor);
    auto* buttons = new QHBoxLayout(panBottom);
    buttons->setContentsMargins(10, 0, 10, 0);
    buttons->setSpacing(20);
    buttons->addStretch(1);
    ppsbSave = BarButton(panBottom, "ppsbSave", QStringLiteral("保存退出"));
    ppsbCancel = BarButton(panBottom, "ppsbCancel", QStringLiteral("返回听写"));
    buttons->addWidget(ppsbSave);
    buttons->addWidget(ppsbCancel);
    buttons->addStretch(1);
    column->addWidget(panBottom);

    ppsbSave->OnClick = [this]() {
        try {
            ppsbSaveClick();
        } catch (...) {
        }
    };
    ppsbCancel->OnClick = [this]() {
        try {
            ppsbCancelClick();
        } catch (...) {
        }
    };
}

TFrmCheckWindow::~TFrmCheckWindow()
{
    // The viewer goes before its style sheet.
    delete rdCheckResult;
    rdCheckResult = nullptr;
}

void TFrmCheckWindow::showEvent(QShowEvent* event)
{
    TFrmModel::showEvent(event);
    if (event->spontaneous())
        return;
    try {
        FormShow();
    } catch (...) {
    }
}

void TFrmCheckWindow::ppsbCancelClick()
{
    close();
}

void TFrmCheckWindow::ppsbSaveClick()
{
    if (!CheckRes)
        return;
    if (SaveCheckResult(*CheckRes)) {
        ShowInfo(QStringLiteral("保存成功！"));
        AfterSaved();
    } else {
        ShowInfo(QStringLiteral("保存失败！"));
    }
}

void TFrmCheckWindow::ShowTotals()
{
    if (!CheckRes)
        return;
    const TCheckHeader header = CheckHeaderOf(*CheckRes);
    const struct {
        QLabel* label;
        const QString& text;
    } labels[] = {{labRightCount, header.RightCount}, {labWordCount, header.WordCount},
                  {labWrongCount, header.WrongCount},  {labOverCount, header.OverCount},
                  {labMissCount, header.MissCount},    {labTimeDesc, header.TimeDesc}};
    for (const auto& item : labels) {
        item.label->setText(item.text);
        item.label->adjustSize();
    }
}

void TFrmCheckWindow::ShowDocument(const TCheckDocument& doc)
{
    rdCheckResult->ClearDocument();
    for (const TCheckParagraph& para : doc)
        for (qsizetype i = 0; i < para.Runs.size(); ++i) {
            const TCheckRun& run = para.Runs[i];
            if (i == 0)
                rdCheckResult->AddTextInNewParagraph(run.Text, run.Style, para.ParaStyle);
            else
                rdCheckResult->AddTextToParagraph(run.Text, run.Style);
        }
    rdCheckResult->FormatDocument();
}

TFrmSingleCheck::TFrmSingleCheck(QWidget* parent) : TFrmCheckWindow(parent)
{
    setObjectName(QStringLiteral("FrmSingleCheck"));
    RowIndex = -1;
}

void TFrmSingleCheck::FormShow()
{
    ppsbSave->setVisible(RowIndex == -1);
    ShowResult();
}

void TFrmSingleCheck::ShowResult()
{
    if (!CheckRes)
        return;
    ShowTotals();
    ShowDocument(BuildSingleCheckDocument(*CheckRes, RowIndex));
}

void TFrmSingleCheck::AfterSaved()
{
    close();
}
