// The chooser of the automatic sentence-cutting plan: the list, the plan in
// use, and OK making another plan the default now and after a reconnection.

#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmAudioCutSet.h"
#include "UStudyScreen.h"
#include "WindowsTestSupport.h"

#include <QtSql/QSqlQuery>
#include <QtWidgets/QListWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

void AddPlan(const QString& name, int noise, int mute, int minLength, int breakValue, int isDefault)
{
    QSqlQuery query(DataInterface->Connection());
    query.prepare(QStringLiteral("insert into AudioCutPlan (planname, noisevalue, mutevalue, minlength, breakvalue, "
                                 "isdefault) values (?, ?, ?, ?, ?, ?)"));
    for (const QVariant& v : {QVariant(name), QVariant(noise), QVariant(mute), QVariant(minLength),
                              QVariant(breakValue), QVariant(isDefault)})
        query.addBindValue(v);
    ASSERT_TRUE(query.exec());
}

QStringList DefaultPlans()
{
    QStringList names;
    QSqlQuery query(DataInterface->Connection());
    EXPECT_TRUE(query.exec(QStringLiteral("select planname from AudioCutPlan where isdefault=1")));
    while (query.next())
        names << query.value(0).toString();
    return names;
}

QStringList Items(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

class AudioCutSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AddPlan(QStringLiteral("快速语速"), 3000, 4, 800, 100, 0);
        AddPlan(QStringLiteral("O'Neil 慢速"), 2000, 6, 1500, 300, 0);
        ASSERT_TRUE(LoadDefaultCutPlan(SystemPara.AudioCutPara));
        ASSERT_EQ(SystemPara.AudioCutPara.PlanName, QStringLiteral("默认方案"));
    }

    TWindowTestEnvironment Env;
    TDialogRecorder Dialogs;
};

TEST_F(AudioCutSetTest, ListsThePlansInTableOrderWithThePlanInUseSelected)
{
    SystemPara.AudioCutPara.PlanName = QStringLiteral("O'Neil 慢速");
    TFrmAudioCutSet form;
    EXPECT_EQ(Items(form.lbPlan), (QStringList{QStringLiteral("默认方案"), QStringLiteral("快速语速"),
                                              QStringLiteral("O'Neil 慢速")}));
    ASSERT_EQ(form.lbPlan->selectedItems().size(), 1);
    EXPECT_EQ(form.lbPlan->currentRow(), 2);
    EXPECT_EQ(form.Title(), QStringLiteral("自动断句设置"));
}

TEST_F(AudioCutSetTest, APlanInUseMatchingNoRowSelectsNothingAndOkAsksForAChoice)
{
    // The comparison is exact: a plan differing only in case is not the same.
    for (const QString& current : {QStringLiteral("没有这个方案"), QStringLiteral("o'neil 慢速"), QString()}) {
        SCOPED_TRACE(current.toStdString());
        Dialogs.Infos.clear();
        SystemPara.AudioCutPara.PlanName = current;
        TFrmAudioCutSet form;
        EXPECT_EQ(form.lbPlan->count(), 3);
        EXPECT_TRUE(form.lbPlan->selectedItems().isEmpty());
        form.ppsbOkClick();
        EXPECT_EQ(Dialogs.Infos, QStringList{QStringLiteral("请选择自动断句方案！")});
        EXPECT_EQ(form.ModalResult(), 0);
        EXPECT_EQ(DefaultPlans(), QStringList{QStringLiteral("默认方案")});
        EXPECT_EQ(SystemPara.AudioCutPara.PlanName, current);
    }
}

TEST_F(AudioCutSetTest, OkMakesTheChosenPlanTheDefaultNowAndAfterReconnecting)
{
    {
        TFrmAudioCutSet form;
        form.lbPlan->setCurrentRow(2);
        form.ppsbOkClick();
        EXPECT_EQ(form.ModalResult(), mrOk);
    }
    EXPECT_TRUE(Dialogs.Infos.isEmpty());
    EXPECT_EQ(DefaultPlans(), QStringList{QStringLiteral("O'Neil 慢速")});
    const TAudioCutSentencePara& para = SystemPara.AudioCutPara;
    EXPECT_EQ(para.PlanName, QStringLiteral("O'Neil 慢速"));
    EXPECT_EQ(para.NoiseValue, 2000);
    EXPECT_EQ(para.MuteValue, 6);
    EXPECT_EQ(para.MinLength, 1500);
    EXPECT_EQ(para.BreakValue, 300);

    // What the main window reads when the program starts again.
    DataInterface->Close();
    ASSERT_TRUE(DataInterface->Connect());
    TAudioCutSentencePara reread;
    ASSERT_TRUE(LoadDefaultCutPlan(reread));
    EXPECT_EQ(reread.PlanName, QStringLiteral("O'Neil 慢速"));
    EXPECT_EQ(reread.NoiseValue, 2000);

    // The next opening selects the new plan.
    TFrmAudioCutSet again;
    EXPECT_EQ(again.lbPlan->currentRow(), 2);
}

TEST_F(AudioCutSetTest, CancelChangesNothing)
{
    TFrmAudioCutSet form;
    form.lbPlan->setCurrentRow(1);
    form.ppsbCancelClick();
    EXPECT_EQ(form.ModalResult(), mrCancel);
    EXPECT_EQ(DefaultPlans(), QStringList{QStringLiteral("默认方案")});
    EXPECT_EQ(SystemPara.AudioCutPara.PlanName, QStringLiteral("默认方案"));
}

TEST_F(AudioCutSetTest, WithoutADatabaseTheListIsEmpty)
{
    DataInterface->Close();
    TFrmAudioCutSet form;
    EXPECT_EQ(form.lbPlan->count(), 0);
}

TEST_F(AudioCutSetTest, TheMainWindowCreatesItByName)
{
    RegisterStudyScreens();
    std::unique_ptr<TForm> form(CreateRegisteredForm(QStringLiteral("FrmAudioCutSet"), nullptr));
    auto* chooser = qobject_cast<TFrmAudioCutSet*>(form.get());
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->lbPlan->count(), 3);
}

}  // namespace
