// Qt's own dialogs in Chinese once the start-up routine has loaded Qt's
// catalogues.

#include "QtTranslations.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTranslator>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>

#include <gtest/gtest.h>

namespace {

// Removes every catalogue again, so that the other tests of this program see
// Qt's own texts.
struct TTranslatorsGone {
    ~TTranslatorsGone() { qDeleteAll(qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)); }
};

bool HasHan(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

}  // namespace

TEST(QtTranslations, QtDialogsSpeakChineseAfterStartUp)
{
    TTranslatorsGone cleanup;
    ASSERT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));

    ASSERT_TRUE(InstallQtTranslations()) << "Qt's zh_CN catalogues are missing (package qt6-translations-l10n)";
    // A second call adds nothing.
    EXPECT_TRUE(InstallQtTranslations());
    EXPECT_EQ(qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly).size(), 1);

    // The standard buttons of every button box.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));

    // The open dialog as the program shows it (Qt's own widgets): no English
    // "Look in", "File name" or "Cancel" left.
    QFileDialog dialog(nullptr, QStringLiteral("打开"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    const auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    const auto* fileName = dialog.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
    ASSERT_TRUE(lookIn && fileName);
    EXPECT_TRUE(HasHan(lookIn->text())) << lookIn->text().toStdString();
    EXPECT_TRUE(HasHan(fileName->text())) << fileName->text().toStdString();
}
