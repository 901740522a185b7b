#include "UFrmInputEdit.h"
#include "UFrmSelectDir.h"
#include "UFrmShowInfo.h"
#include "UFrmShowQuestionInfo.h"
#include "UPiboComponent.h"

#include "TestSupport.h"

#include <QtCore/QDeadlineTimer>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QTemporaryDir>
#include <QtGui/QKeyEvent>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs action on the next modal form of class T, waiting past other modal forms.
template <class T>
void WhenModalIs(std::function<void(T*)> action, QDeadlineTimer deadline = QDeadlineTimer(5000))
{
    WhenModalShown([action, deadline](QWidget* modal) {
        if (auto* form = qobject_cast<T*>(modal))
            action(form);
        else if (!deadline.hasExpired())
            WhenModalIs<T>(action, deadline);
    });
}

// The message of the next information box, which is answered with OK.
void AnswerNextInfo(QString& message)
{
    WhenModalIs<TFrmShowInfo>([&message](TFrmShowInfo* info) {
        message = info->labInfo->text();
        info->psbOk->PerformClick();
    });
}

class DialogsTest : public ::testing::Test {};

TEST_F(DialogsTest, ShowQuestionInfoIsTrueOnlyForOk)
{
    const struct {
        const char* button;
        bool expected;
    } cases[] = {{"psbOk", true}, {"ppsbCancel", false}, {"psbClose", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        WhenModalIs<TFrmShowQuestionInfo>([&c](TFrmShowQuestionInfo* form) {
            form->findChild<TPiboSpeedButton*>(QString::fromLatin1(c.button))->PerformClick();
        });
        EXPECT_EQ(ShowQuestionInfo(QStringLiteral("确定要删除吗？")), c.expected);
    }
}

// From the keyboard: Enter is OK (the default button), Esc is cancel, Space
// presses the focused button, which Tab moves from OK to cancel.
TEST_F(DialogsTest, ShowQuestionInfoAnswersEnterEscAndSpace)
{
    const struct {
        const char* name;
        QList<Qt::Key> keys;
        bool expected;
    } cases[] = {{"Return", {Qt::Key_Return}, true},
                 {"Enter", {Qt::Key_Enter}, true},
                 {"Esc", {Qt::Key_Escape}, false},
                 {"Space", {Qt::Key_Space}, true},
                 {"Tab Space", {Qt::Key_Tab, Qt::Key_Space}, false},
                 {"Tab Enter", {Qt::Key_Tab, Qt::Key_Enter}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool answered = false;
        WhenModalIs<TFrmShowQuestionInfo>([&](TFrmShowQuestionInfo* form) {
            QApplication::setActiveWindow(form);  // as the window manager does
            for (Qt::Key key : c.keys)
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form, key);
            answered = form->ModalResult() != mrNone;
            if (!answered)
                form->psbClose->PerformClick();
        });
        EXPECT_EQ(ShowQuestionInfo(QStringLiteral("确定要删除吗？")), c.expected);
        EXPECT_TRUE(answered);
    }
}

TEST_F(DialogsTest, ShowQuestionInfoCentresTheButtonPairForLongTexts)
{
    // Chinese characters of 12 pixels each, well past the 150 pixels the box holds.
    const QString text(25, QChar(0x4E2D));
    const int w = TextWidthOf(TFont(), text);
    ASSERT_GT(w, 150);
    const int width = 255 + w - 150;
    for (const QString& message : {QStringLiteral("确定吗？"), text}) {
        const bool wide = message == text;
        SCOPED_TRACE(wide ? "wide" : "narrow");
        QRect ok, cancel, close;
        int formWidth = 0;
        WhenModalIs<TFrmShowQuestionInfo>([&](TFrmShowQuestionInfo* form) {
            formWidth = form->width();
            ok = form->psbOk->geometry();
            cancel = form->ppsbCancel->geometry();
            close = form->psbClose->geometry();
            form->psbOk->PerformClick();
        });
        EXPECT_TRUE(ShowQuestionInfo(message));
        if (!wide) {
            EXPECT_EQ(formWidth, 255);
            EXPECT_EQ(ok, QRect(45, 94, 79, 23));
            EXPECT_EQ(cancel, QRect(133, 94, 79, 23));
            EXPECT_EQ(close, QRect(229, 5, 16, 16));
        } else {
            EXPECT_EQ(formWidth, width);
            EXPECT_EQ(ok, QRect(RoundHalfEven((width - 79 - 79 - 5) / 2.0), 94, 79, 23));
            EXPECT_EQ(cancel.left(), ok.right() + 1 + 5);
            EXPECT_EQ(close, QRect(width - 16 - 10, 5, 16, 16));
        }
    }
}

TEST_F(DialogsTest, ShowInputEditHandsBackTheTextWhateverTheButton)
{
    const struct {
        const char* how;
        int expected;
    } cases[] = {{"ok", mrOk}, {"enter", mrOk}, {"cancel", mrCancel}, {"close", mrCancel}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        const QString how = QString::fromLatin1(c.how);
        QString startText, title, prompt;
        QRect client, close, body, edit;
        WhenModalIs<TFrmInputEdit>([&](TFrmInputEdit* form) {
            client = form->rect();
            close = form->psbClose->geometry();
            body = QRect(form->Panel6->mapTo(form, QPoint(0, 0)), form->Panel6->size());
            edit = form->ediInput->geometry();
            startText = form->ediInput->text();
            title = form->labTitle->text();
            prompt = form->labInputCaption->text();
            form->ediInput->setText(QStringLiteral("新的名字"));
            if (how == QLatin1String("ok"))
                form->ppsbOk->PerformClick();
            else if (how == QLatin1String("cancel"))
                form->ppsbCancel->PerformClick();
            else if (how == QLatin1String("close"))
                form->psbClose->PerformClick();
            else {
                QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(form->ediInput, &enter);
            }
        });
        QString text = QStringLiteral("旧名字");
        int result = -1;
        ShowInputEdit(QStringLiteral("重命名"), QStringLiteral("请输入新的名称："), text, result);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ(text, QStringLiteral("新的名字"));
        EXPECT_EQ(startText, QStringLiteral("旧名字"));
        EXPECT_EQ(title, QStringLiteral("重命名"));
        EXPECT_EQ(prompt, QStringLiteral("请输入新的名称："));
        // The frame: close button 25 from the right edge, the body under the
        // 27-pixel title strip inside 1-pixel borders.
        EXPECT_EQ(client, QRect(0, 0, 268, 171));
        EXPECT_EQ(close, QRect(268 - 25, 5, 16, 16));
        EXPECT_EQ(body, QRect(1, 27, 266, 171 - 27 - 1));
        EXPECT_EQ(edit, QRect(43, 46, 186, 17));
    }
}

// A folder tree that stands in for the user's home folder while a test runs.
class SelectDirTest : public DialogsTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FHome.isValid());
        FOldHome = qgetenv("HOME");
        qputenv("HOME", FHome.path().toLocal8Bit());
        QDir home(FHome.path());
        for (const char* sub : {"gamma", "alpha/inner", "Beta", "empty", ".hidden/inside"})
            ASSERT_TRUE(home.mkpath(QString::fromLatin1(sub)));
        QFile file(home.filePath(QStringLiteral("notes.txt")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void TearDown() override { qputenv("HOME", FOldHome); }

    QString Home() const { return FHome.path(); }

    static QStringList ChildNames(QTreeWidgetItem* node)
    {
        QStringList names;
        for (int i = 0; i < node->childCount(); ++i)
            names << node->child(i)->text(0);
        return names;
    }
    static QTreeWidgetItem* Child(QTreeWidgetItem* node, const QString& name)
    {
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->text(0) == name)
                return node->child(i);
        return nullptr;
    }

private:
    QTemporaryDir FHome;
    QByteArray FOldHome;
};

TEST_F(SelectDirTest, ListsSubFoldersSortedAndOnlyOnFirstExpansion)
{
    TFrmSelectDir form;
    ASSERT_EQ(form.tvDir->topLevelItemCount(), 2);
    QTreeWidgetItem* home = form.tvDir->topLevelItem(0);
    QTreeWidgetItem* root = form.tvDir->topLevelItem(1);
    EXPECT_EQ(home->data(0, TFrmSelectDir::PathRole).toString(), Home());
    EXPECT_EQ(root->data(0, TFrmSelectDir::PathRole).toString(), QStringLiteral("/"));
    EXPECT_EQ(root->text(0), QStringLiteral("/"));
    EXPECT_EQ(home->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(home->childCount(), 0);

    form.tvDir->expandItem(home);
    EXPECT_EQ(ChildNames(home), (QStringList{"alpha", "Beta", "empty", "gamma"}));
    QTreeWidgetItem* alpha = Child(home, QStringLiteral("alpha"));
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->data(0, TFrmSelectDir::PathRole).toString(), Home() + QStringLiteral("/alpha"));
    EXPECT_EQ(alpha->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(alpha->childCount(), 0);  // not listed before it is opened
    EXPECT_EQ(Child(home, QStringLiteral("empty"))->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

    // A later expansion lists nothing again, even when the folder changed.
    ASSERT_TRUE(QDir(Home()).mkdir(QStringLiteral("delta")));
    form.tvDir->collapseItem(home);
    form.tvDir->expandItem(home);
    EXPECT_EQ(home->childCount(), 4);

    form.tvDir->expandItem(alpha);
    EXPECT_EQ(ChildNames(alpha), QStringList{"inner"});
    EXPECT_EQ(alpha->child(0)->data(0, TFrmSelectDir::PathRole).toString(), Home() + QStringLiteral("/alpha/inner"));
}

TEST_F(SelectDirTest, ReturnsTheChosenFolderOrNothing)
{
    const struct {
        const char* choice;  // a folder under home, "/" for the root, or "cancel"/"close" after choosing Beta
        QString expected;
    } cases[] = {
        {"Beta", Home() + QStringLiteral("/Beta")},
        {"/", QStringLiteral("/")},
        {"cancel", QString()},
        {"close", QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.choice);
        const QString choice = QString::fromLatin1(c.choice);
        WhenModalIs<TFrmSelectDir>([&](TFrmSelectDir* form) {
            QTreeWidgetItem* home = form->tvDir->topLevelItem(0);
            form->tvDir->expandItem(home);
            if (choice == QLatin1String("/"))
                form->tvDir->setCurrentItem(form->tvDir->topLevelItem(1));
            else
                form->tvDir->setCurrentItem(Child(home, QStringLiteral("Beta")));
            if (choice == QLatin1String("cancel"))
                form->ppsbCancel->PerformClick();
            else if (choice == QLatin1String("close"))
                form->psbClose->PerformClick();
            else
                form->ppsbOk->PerformClick();
        });
        QString path = QStringLiteral("/left/over");
        SelectDirectory(path);
        EXPECT_EQ(path, c.expected);
    }
}

TEST_F(SelectDirTest, OkWithoutAnExistingFolderShowsAMessageAndStaysOpen)
{
    QStringList messages;
    bool openAfterNoSelection = false;
    bool openAfterVanishedFolder = false;
    WhenModalIs<TFrmSelectDir>([&](TFrmSelectDir* form) {
        QString message;
        AnswerNextInfo(message);
        form->ppsbOk->PerformClick();  // nothing selected
        messages << message;
        openAfterNoSelection = form->isVisible() && QApplication::activeModalWidget() == form;

        QTreeWidgetItem* home = form->tvDir->topLevelItem(0);
        form->tvDir->expandItem(home);
        form->tvDir->setCurrentItem(Child(home, QStringLiteral("gamma")));
        QDir(Home()).rmdir(QStringLiteral("gamma"));
        AnswerNextInfo(message);
        form->ppsbOk->PerformClick();  // the folder is gone
        messages << message;
        openAfterVanishedFolder = form->isVisible() && QApplication::activeModalWidget() == form;

        form->tvDir->setCurrentItem(Child(home, QStringLiteral("empty")));
        form->ppsbOk->PerformClick();
    });
    QString path;
    SelectDirectory(path);
    EXPECT_EQ(messages, (QStringList{QStringLiteral("请选择文件夹！"),
                                     QStringLiteral("选择的文件夹不合法，请重新选择目录！")}));
    EXPECT_TRUE(openAfterNoSelection);
    EXPECT_TRUE(openAfterVanishedFolder);
    EXPECT_EQ(path, Home() + QStringLiteral("/empty"));
}

}  // namespace
