#include "SingleInstance.h"

#include "ProgramFolder.h"

#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

TEST(SingleInstanceLock, OneHolderPerNameAndProgramFolder)
{
    QTemporaryDir folder;
    SetProgramFolder(folder.path());
    TSingleInstanceLock first(QStringLiteral("LockTest"));
    TSingleInstanceLock second(QStringLiteral("LockTest"));
    TSingleInstanceLock other(QStringLiteral("OtherLock"));
    EXPECT_TRUE(first.TryAcquire());
    EXPECT_TRUE(first.TryAcquire());
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_TRUE(other.TryAcquire());

    first.Release();
    EXPECT_TRUE(second.TryAcquire());

    QTemporaryDir anotherFolder;
    SetProgramFolder(anotherFolder.path());
    TSingleInstanceLock elsewhere(QStringLiteral("LockTest"));
    EXPECT_TRUE(elsewhere.TryAcquire());
    SetProgramFolder(QString());
}
