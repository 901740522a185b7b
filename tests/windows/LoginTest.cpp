// The login window against a real database in a temporary program folder.

#include "Graphics.h"
#include "PiboPictures.h"
#include "PictureStore.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmLogin.h"
#include "UPiboComponent.h"
#include "UWebLinks.h"
#include "WindowsTestSupport.h"

#include <QtCore/QDateTime>
#include <QtCore/QFileInfo>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QLineEdit>

#include <gtest/gtest.h>

#include <memory>

namespace {

class LoginTest : public ::testing::Test {
protected:
    TWindowTestEnvironment Env{QString()};

    // A login window shown and filled, as the program shows it.
    std::unique_ptr<TFrmLogin> Shown()
    {
        auto login = std::make_unique<TFrmLogin>();
        login->show();
        ProcessEvents();
        return login;
    }

    static void AddUsers(const QStringList& names)
    {
        for (const QString& name : names) {
            TUserInfo user;
            user.UserName = name;
            ASSERT_TRUE(AddUser(user));
        }
    }

    static QPair<QString, QString> Times(const QString& name)
    {
        QSqlQuery query(DataInterface->Connection());
        query.prepare(QStringLiteral("select firstusetime, lastlongintime from userinfo where username=?"));
        query.addBindValue(name);
        EXPECT_TRUE(query.exec() && query.next());
        return {query.value(0).toString(), query.value(1).toString()};
    }
};

TEST_F(LoginTest, RefusalsAreMessagesAndTheWindowStaysOpen)
{
    const struct {
        const char* Name;
        QStringList Users;
        int Row;             // row made current before the action; -1: the row of the blank name
        const char* Added;   // text typed for a new user, or null: press OK
        const char* Message;
    } cases[] = {
        {"no users at all", {}, 0, nullptr, "不存在任何用户，请新增一个用户！"},
        {"a blank user name", {"Tom", "   "}, -1, nullptr, "请选择一个用户！"},
        {"the prompt itself", {}, 0, "新用户名", "请输入准备新增的用户名！"},
        {"only blanks", {}, 0, "   ", "请输入准备新增的用户名！"},
        {"an empty name", {}, 0, "", "请输入准备新增的用户名！"},
        {"a name that exists", {"Tom"}, 0, "Tom", "您输入的用户名已近存在，请重新输入一个！"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QSqlQuery(DataInterface->Connection()).exec(QStringLiteral("delete from userinfo"));
        AddUsers(c.Users);
        auto login = Shown();
        int row = c.Row;
        for (int r = 0; row < 0 && r < login->UserListRowCount(); ++r)
            if (login->UserListCell(0, r) == QStringLiteral("   "))
                row = r;
        login->SelectUserRow(row);
        TDialogRecorder dialogs;
        if (c.Added) {
            login->ediAddUser->setText(QString::fromUtf8(c.Added));
            login->labAdd->PerformClick();
        } else {
            login->psbOk->PerformClick();
        }
        EXPECT_EQ(dialogs.Infos, QStringList{QString::fromUtf8(c.Message)});
        EXPECT_EQ(login->ModalResult(), mrNone);
        EXPECT_EQ(UserCount(), c.Users.size());
    }
}

TEST_F(LoginTest, AnEmptyTableShowsOneEmptyRow)
{
    auto login = Shown();
    ASSERT_NE(login->UserList(), nullptr);
    EXPECT_EQ(login->UserListRowCount(), 1);
    EXPECT_EQ(login->UserListCell(0, 0), QString());
    EXPECT_EQ(login->UserList()->geometry(), QRect(303, 140, 292, 78));
    EXPECT_EQ(login->UserListColWidth(0), 82);
    EXPECT_EQ(login->UserListColWidth(2), 105);
}

TEST_F(LoginTest, ANewUserIsStoredAsTypedAndBecomesTheCurrentRow)
{
    AddUsers({QStringLiteral("Tom"), QStringLiteral("Ann")});
    auto login = Shown();
    TDialogRecorder dialogs;
    login->ediAddUser->setText(QStringLiteral("  Lily 李"));
    login->labAdd->PerformClick();
    EXPECT_EQ(dialogs.Infos, QStringList{QStringLiteral("用户添加成功！")});
    EXPECT_TRUE(UserExists(QStringLiteral("  Lily 李")));
    EXPECT_FALSE(UserExists(QStringLiteral("Lily 李")));
    EXPECT_EQ(login->ediAddUser->text(), QStringLiteral("  Lily 李"));  // the field keeps its text
    ASSERT_EQ(login->UserListRowCount(), 3);
    ASSERT_GE(login->UserListCurrentRow(), 0);
    EXPECT_EQ(login->UserListCell(0, login->UserListCurrentRow()), QStringLiteral("  Lily 李"));

    QSqlQuery query(DataInterface->Connection());
    ASSERT_TRUE(query.exec(QStringLiteral("select userpass from userinfo where username='  Lily 李'")) && query.next());
    EXPECT_EQ(query.value(0).toString(), QStringLiteral("402719"));
}

TEST_F(LoginTest, FirstLoginWritesBothDatesLaterOnesTheLastOnlyAndTheListFollowsIt)
{
    AddUsers({QStringLiteral("Tom"), QStringLiteral("O'Brien")});
    {
        auto login = Shown();
        int row = -1;
        for (int r = 0; r < login->UserListRowCount(); ++r)
            if (login->UserListCell(0, r) == QStringLiteral("O'Brien"))
                row = r;
        ASSERT_GE(row, 0);
        login->SelectUserRow(row);
        login->psbOk->PerformClick();
        EXPECT_EQ(login->ModalResult(), mrOk);
        EXPECT_EQ(SystemPara.UserInfo.UserName, QStringLiteral("O'Brien"));
    }
    const auto first = Times(QStringLiteral("O'Brien"));
    EXPECT_FALSE(first.first.isEmpty());
    EXPECT_EQ(first.first, first.second);
    EXPECT_TRUE(Times(QStringLiteral("Tom")).second.isEmpty());

    {
        auto login = Shown();
        // The user who logged in comes first; the one who never did has no dates.
        EXPECT_EQ(login->UserListCell(0, 0), QStringLiteral("O'Brien"));
        EXPECT_EQ(login->UserListCell(1, 0), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        EXPECT_EQ(login->UserListCell(0, 1), QStringLiteral("Tom"));
        EXPECT_EQ(login->UserListCell(2, 1), QString());
        login->SelectUserRow(1);
        login->psbOk->PerformClick();  // Tom's first login
    }
    {
        auto login = Shown();
        EXPECT_EQ(login->UserListCell(0, 0), QStringLiteral("Tom"));
        login->SelectUserRow(1);
        login->psbOk->PerformClick();  // O'Brien again: only the last login changes
    }
    const auto again = Times(QStringLiteral("O'Brien"));
    EXPECT_EQ(again.first, first.first);
    EXPECT_GT(again.second, first.second);
}

TEST_F(LoginTest, FourUsersNarrowTheLastColumn)
{
    AddUsers({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    EXPECT_EQ(Shown()->UserListColWidth(2), 105);
    AddUsers({QStringLiteral("d")});
    auto login = Shown();
    EXPECT_EQ(login->UserListRowCount(), 4);
    EXPECT_EQ(login->UserListColWidth(2), 85);
}

TEST_F(LoginTest, LinkLabelsCarryTheMarkerAndColourOneAtATime)
{
    auto login = Shown();
    ASSERT_EQ(login->LinkLabels.size(), 14);
    QList<int> tags;
    for (TLinkLabel* label : login->LinkLabels) {
        tags << label->Tag;
        EXPECT_TRUE(label->Hint.contains(TFrmLogin::LinkMarker));
        EXPECT_FALSE(LinkAddress(LoginLinkGroups(), label->Tag).isEmpty());
    }
    EXPECT_EQ(tags, (QList<int>{10, 11, 12, 13, 14, 15, 30, 31, 32, 33, 34, 35, 36, 37}));
    login->Label8MouseMove(login->LinkLabels.at(3));
    login->Label8MouseMove(login->LinkLabels.at(5));
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(login->LinkLabels.at(i)->FontColor(), i == 5 ? clRed : TFrmLogin::LinkColor) << i;
    login->Label8MouseLeave();
    EXPECT_EQ(login->LinkLabels.at(5)->FontColor(), TFrmLogin::LinkColor);
}

TEST_F(LoginTest, TheBackgroundPaintsTheSameAtTheFirstStartAndFromTheKeptPicture)
{
    const QString name = QStringLiteral("LoginBackground");
    const QString kept = PictureKit::KeptPictureFile(name);
    ASSERT_FALSE(QFileInfo::exists(kept));  // a fresh program folder: the first start
    RegisterPiboPictures();                 // nothing of the picture held in memory either
    QImage first;
    {
        auto login = Shown();
        first = login->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Where no control covers it, the window shows the picture's own pixels.
        const QRect band(4, 0, 570, 34);
        EXPECT_EQ(first.copy(band), LoadBitmapResource(name).copy(band));
    }
    EXPECT_TRUE(QFileInfo::exists(kept));
    RegisterPiboPictures();  // a later start: the kept picture is mapped, not drawn
    auto login = Shown();
    EXPECT_EQ(login->grab().toImage().convertToFormat(QImage::Format_RGB32), first);
}

}  // namespace
