#include "IniFile.h"

#include "AnsiText.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}
}  // namespace

TEST(IniFile, ReadsKeysWithoutRegardToCase)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Update.ini"));
    WriteAll(path, "; comment\r\n[Other]\r\nVersion=9\r\n\r\n[Update]\r\nVersion = 1.2.0\r\nExe=pibozunexc\r\nCount=12\r\n");
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("update"), QStringLiteral("VERSION"), QString()), QStringLiteral("1.2.0"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Update"), QStringLiteral("Http"), QStringLiteral("none")),
              QStringLiteral("none"));
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Update"), QStringLiteral("Count"), 0), 12);
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("Update"), QStringLiteral("Exe"), -1), -1);
    EXPECT_TRUE(ini.SectionExists(QStringLiteral("OTHER")));
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("Missing"), QStringLiteral("Version")));
}

TEST(IniFile, MissingFileReadsDefaultsAndIsMadeByTheFirstWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.ini"));
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("Update"), QStringLiteral("Version"), QString()), QString());
    ASSERT_TRUE(ini.WriteString(QStringLiteral("Update"), QStringLiteral("Version"), QStringLiteral("2.0")));
    EXPECT_EQ(ReadAll(path), QByteArray("[Update]\r\nVersion=2.0\r\n"));
}

TEST(IniFile, WritesKeepEveryOtherLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Update.ini"));
    WriteAll(path, "; keep me\r\n[Update]\r\nVersion=1.0\r\nExe=pibozunexc\r\n\r\n[Tail]\r\nA=1\r\n");
    TIniFile ini(path);
    ASSERT_TRUE(ini.WriteString(QStringLiteral("Update"), QStringLiteral("Version"), QStringLiteral("1.1")));
    ASSERT_TRUE(ini.WriteString(QStringLiteral("Update"), QStringLiteral("RemoteVersion"), QStringLiteral("1.1")));
    ASSERT_TRUE(ini.WriteString(QStringLiteral("New"), QStringLiteral("Name"), QStringLiteral("中文")));
    EXPECT_EQ(ReadAll(path), QByteArray("; keep me\r\n[Update]\r\nVersion=1.1\r\nExe=pibozunexc\r\nRemoteVersion=1.1\r\n"
                                        "\r\n[Tail]\r\nA=1\r\n\r\n[New]\r\nName=") +
                                 StringToAnsi(QStringLiteral("中文")) + "\r\n");
    EXPECT_EQ(ini.ReadString(QStringLiteral("New"), QStringLiteral("Name"), QString()), QStringLiteral("中文"));
}

TEST(IniFile, FailedWriteReportsFalseAndLeavesTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no/such/folder/Update.ini"));
    TIniFile ini(path);
    EXPECT_FALSE(ini.WriteString(QStringLiteral("Update"), QStringLiteral("Version"), QStringLiteral("1")));
    EXPECT_FALSE(QFileInfo::exists(path));
}
