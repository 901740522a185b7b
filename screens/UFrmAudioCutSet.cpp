#include "UFrmAudioCutSet.h"

#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmShowInfo.h"
#include "UPiboComponent.h"

#include <QtSql/QSqlQuery>
#include <QtSql/QSqlRecord>
#include <QtWidgets/QLabel>
#include <QtWidgets/QListWidget>

TFrmAudioCutSet::TFrmAudioCutSet(QWidget* parent) : TFrmModel(parent)
{
    SetClientSize(462, 337);
    SetTitle(QStringLiteral("自动断句设置"));
    SetWidgetColor(Panel6, 16776175);

    Shape1 = new TFrameShape(Panel6);
    Shape1->PenColor = 15380224;
    Shape1->setGeometry(18, 24, 420, 220);

    labCaption = new QLabel(QStringLiteral("选择自动断句方案"), Panel6);
    labCaption->setTextFormat(Qt::PlainText);
    labCaption->setAutoFillBackground(true);
    labCaption->adjustSize();
    labCaption->move(32, 18);

    lbPlan = new QListWidget(Panel6);
    lbPlan->setObjectName(QStringLiteral("lbPlan"));
    lbPlan->setFrameShape(QFrame::NoFrame);
    lbPlan->setUniformItemSizes(true);
    lbPlan->setSelectionMode(QAbstractItemView::SingleSelection);
    lbPlan->setGeometry(26, 40, 404, 196);
    // Double-clicking a plan chooses it, as OK does.
    connect(lbPlan, &QListWidget::itemDoubleClicked, this, [this]() { ppsbOkClick(); });

    ppsbOk = new TPiboSpeedButton(Panel6);
    ppsbOk->setObjectName(QStringLiteral("ppsbOk"));
    ppsbOk->SetPiboSpeedButtonType(pbstInfoButton);
    ppsbOk->SetCaption(QStringLiteral("确定"));
    ppsbOk->move(270, 262);
    ppsbOk->OnClick = [this]() { ppsbOkClick(); };

    ppsbCancel = new TPiboSpeedButton(Panel6);
    ppsbCancel->setObjectName(QStringLiteral("ppsbCancel"));
    ppsbCancel->SetPiboSpeedButtonType(pbstInfoButton);
    ppsbCancel->SetCaption(QStringLiteral("取消"));
    ppsbCancel->move(358, 262);
    ppsbCancel->OnClick = [this]() { ppsbCancelClick(); };

    FormCreate();
}

void TFrmAudioCutSet::FormCreate()
{
    lbPlan->clear();
    try {
        if (!DataInterface || !DataInterface->Connected())
            return;
        QSqlQuery query(DataInterface->Connection());
        if (!query.exec(QStringLiteral("select planname from AudioCutPlan order by rowid")))
            return;
        const QString current = SystemPara.AudioCutPara.PlanName;
        while (query.next()) {
            const QString name = query.value(0).toString();
            lbPlan->addItem(name);
            if (name == current)
                lbPlan->setCurrentRow(lbPlan->count() - 1);
        }
    } catch (...) {
    }
}

void TFrmAudioCutSet::ppsbOkClick()
{
    const QList<QListWidgetItem*> selected = lbPlan->selectedItems();
    if (selected.isEmpty()) {
        ShowInfo(QStringLiteral("请选择自动断句方案！"));
        return;
    }
    SetDefaultCutPlan(selected.first()->text());
    LoadDefaultCutPlan(SystemPara.AudioCutPara);
    SetModalResult(mrOk);
}

void TFrmAudioCutSet::ppsbCancelClick()
{
    SetModalResult(mrCancel);
}
