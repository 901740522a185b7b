// The local database layer against real SQLite files in a temporary program
// folder, made from the program's schema script.

#include "DatabaseSchema.h"
#include "TestSupport.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStringList>
#include <QtCore/QTimeZone>
#include <QtCore/QVariant>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlQuery>
#include <QtSql/QSqlRecord>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

QString SchemaFile()
{
    return QString::fromUtf8(PIBO_SCHEMA_FILE);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Every byte value, zeros among them, as a stand-in for an MP3 clip.
QByteArray BinarySound()
{
    QByteArray bytes;
    for (int round = 0; round < 40; ++round)
        for (int b = 0; b < 256; ++b)
            bytes.append(char(b));
    return bytes;
}

const QDateTime LeapDayEvening(QDate(2024, 2, 29), QTime(23, 59, 58, 123));
const QString LeapDayEveningText = QStringLiteral("2024-02-29T23:59:58.123");

}  // namespace

// --- Making the database from the schema --------------------------------------

TEST(DatabaseSchemaTest, SplitsAtSemicolonsOutsideQuotesAndComments)
{
    const QStringList statements = SplitSqlStatements(QStringLiteral(
        "-- a comment; with a semicolon\n"
        "insert into t values('a;b', 'it''s; ok');\n"
        "/* block; comment */ select \"odd;name\" from [x;y];;\n"
        "select 1"));
    ASSERT_EQ(statements.size(), 3);
    EXPECT_EQ(statements[0], QStringLiteral("insert into t values('a;b', 'it''s; ok')"));
    EXPECT_EQ(statements[1], QStringLiteral("select \"odd;name\" from [x;y]"));
    EXPECT_EQ(statements[2], QStringLiteral("select 1"));
}

TEST(DatabaseSchemaTest, FailingScriptLeavesExistingDatabaseUntouched)
{
    TTestProgramFolder folder;
    const QString target = folder.File("data/data.db");
    ASSERT_TRUE(CreateDatabaseFromSchema(SchemaFile(), target));
    const QByteArray before = ReadAll(target);

    const QString badSchema = folder.File("temp/bad.sql");
    WriteAll(badSchema, "create table a (x integer);\ncreate tabel b (y);\n");
    QString error;
    EXPECT_FALSE(CreateDatabaseFromSchema(badSchema, target, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(target), before);
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral(".new")));

    EXPECT_FALSE(CreateDatabaseFromSchema(folder.File("temp/missing.sql"), target));
    EXPECT_EQ(ReadAll(target), before);
}

// --- Connecting --------------------------------------------------------------

TEST(DataInterfaceTest, MissingFileFailsAndIsNotCreated)
{
    TTestProgramFolder folder;
    TDataInterface data;
    EXPECT_FALSE(data.Connect());
    EXPECT_FALSE(data.Connected());
    EXPECT_FALSE(QFileInfo::exists(folder.File("data/data.db")));
}

TEST(DataInterfaceTest, RejectsFilesThatAreNotTheProgramsDatabase)
{
    struct Case {
        const char* what;
        std::function<void(const QString& file)> make;
    };
    const std::vector<Case> cases = {
        {"text file", [](const QString& f) { WriteAll(f, "Standard Jet DB\0\x01\x02 not sqlite at all"); }},
        {"empty file", [](const QString& f) { WriteAll(f, QByteArray()); }},
        {"database without the cut plans",
         [](const QString& f) {
             ASSERT_TRUE(CreateDatabaseFromSchema(SchemaFile(), f));
             {
                 QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prep"));
                 db.setDatabaseName(f);
                 ASSERT_TRUE(db.open());
                 QSqlQuery(db).exec(QStringLiteral("drop table AudioCutPlan"));
                 db.close();
             }
             QSqlDatabase::removeDatabase(QStringLiteral("prep"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTestProgramFolder folder;
        const QString file = folder.File("data/data.db");
        c.make(file);
        const QByteArray before = ReadAll(file);
        TDataInterface data;
        EXPECT_FALSE(data.Connect());
        EXPECT_FALSE(data.Connected());
        EXPECT_FALSE(data.Connection().isOpen());
        EXPECT_EQ(ReadAll(file), before);
    }
}

TEST(DataInterfaceTest, ConnectedUntilClosedAndReconnects)
{
    TTestProgramFolder folder;
    ASSERT_TRUE(CreateDatabaseFromSchema(SchemaFile(), folder.File("data/data.db")));
    TDataInterface data;
    EXPECT_FALSE(data.Connected());
    ASSERT_TRUE(data.Connect());
    EXPECT_TRUE(data.Connected());
    EXPECT_TRUE(data.Connection().isOpen());
    data.Close();
    EXPECT_FALSE(data.Connected());
    EXPECT_FALSE(data.Connection().isOpen());
    EXPECT_TRUE(data.Connect());
    EXPECT_TRUE(data.Connected());
}

// --- Data access --------------------------------------------------------------

class DataAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(CreateDatabaseFromSchema(SchemaFile(), FFolder.File("data/data.db"), &error)) << error.toStdString();
        FData = std::make_unique<TDataInterface>();
        DataInterface = FData.get();
        ASSERT_TRUE(DataInterface->Connect());
        SystemPara = TSystemPara();
    }

    void TearDown() override
    {
        DataInterface = nullptr;
        FData.reset();
        SystemPara = TSystemPara();
    }

    bool Exec(const QString& sql)
    {
        QSqlQuery query(FData->Connection());
        return query.exec(sql);
    }

    // All rows of a query, each row its columns.
    std::vector<QVariantList> Rows(const QString& sql)
    {
        std::vector<QVariantList> rows;
        QSqlQuery query(FData->Connection());
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.value(i));
            rows.push_back(row);
        }
        return rows;
    }

    QVariant Value(const QString& sql)
    {
        const auto rows = Rows(sql);
        return rows.empty() ? QVariant() : rows.front().value(0);
    }

    QStringList Texts(const QString& sql)
    {
        QStringList texts;
        for (const QVariantList& row : Rows(sql))
            texts.append(row.value(0).toString());
        return texts;
    }

    qint32 LastId(const char* table)
    {
        return Value(QStringLiteral("select max(id) from %1").arg(QLatin1String(table))).toInt();
    }

    TTestProgramFolder FFolder;
    std::unique_ptr<TDataInterface> FData;
};

TEST_F(DataAccessTest, RoutinesFailCleanlyWithoutAConnection)
{
    // Sound for a row, so that SaveSentenceMp3ToFile would have something to write.
    WriteAll(FFolder.File("temp/clip.mp3"), BinarySound());
    TSentenceList sentence;
    sentence.Name = QStringLiteral("Tom");
    sentence.Mp3File = FFolder.File("temp/clip.mp3");
    ASSERT_TRUE(AddSentenceList(sentence));
    const qint32 soundId = LastId("sentencelist");
    const QString target = FFolder.File("temp/out.mp3");

    TAudioCutSentencePara para;
    para.NoiseValue = 1;
    para.PlanName = QStringLiteral("unchanged");
    const std::vector<std::pair<const char*, std::function<bool()>>> routines = {
        {"AddUser", [] { return AddUser({QStringLiteral("a"), QStringLiteral("b")}); }},
        {"UpdateLastLoginTime", [] { return UpdateLastLoginTime(QStringLiteral("a"), LeapDayEvening); }},
        {"UpdateFirstUseTime", [] { return UpdateFirstUseTime(QStringLiteral("a"), LeapDayEvening); }},
        {"AddTransferRecord", [] { return AddTransferRecord({}); }},
        {"DeleteTransferRecord", [] { return DeleteTransferRecord(1); }},
        {"AddMediaFileLoad", [] { return AddMediaFileLoad({}); }},
        {"DeleteMediaFileLoad", [] { return DeleteMediaFileLoad({}); }},
        {"AddRecentFile", [] { return AddRecentFile({}); }},
        {"DeleteRecentFile", [] { return DeleteRecentFile({}); }},
        {"ClearRecentFiles", [] { return ClearRecentFiles(); }},
        {"AddSentenceList", [&] { return AddSentenceList(sentence); }},
        {"DeleteSentenceList", [&] { return DeleteSentenceList(soundId); }},
        {"SaveSentenceMp3ToFile", [&] { return SaveSentenceMp3ToFile(soundId, target); }},
        {"AddSingleDictateRecord", [] { return AddSingleDictateRecord({}); }},
        {"DeleteSingleDictateRecord", [] { return DeleteSingleDictateRecord(1); }},
        {"AddStudySpeakRecord", [] { return AddStudySpeakRecord({}); }},
        {"DeleteStudySpeakRecord", [] { return DeleteStudySpeakRecord(1); }},
        {"LoadDefaultCutPlan", [&] { return LoadDefaultCutPlan(para); }},
        {"SetDefaultCutPlan", [] { return SetDefaultCutPlan(QStringLiteral("默认方案")); }},
        {"UserExists", [] { return UserExists(QStringLiteral("a")); }},
        {"IsFirstUse", [] { return IsFirstUse(QStringLiteral("a")); }},
        {"UserCount", [] { return UserCount() != 0; }},
    };

    const std::vector<std::pair<const char*, std::function<void()>>> states = {
        {"no data module", [] { DataInterface = nullptr; }},
        {"connection closed", [this] { DataInterface = FData.get(); FData->Close(); }},
    };
    for (const auto& [stateName, enter] : states) {
        enter();
        for (const auto& [name, call] : routines) {
            SCOPED_TRACE(std::string(stateName) + ": " + name);
            EXPECT_FALSE(call());
        }
        EXPECT_FALSE(QFileInfo::exists(target));
        EXPECT_EQ(para.NoiseValue, 1);
        EXPECT_EQ(para.PlanName, QStringLiteral("unchanged"));
    }

    // Nothing was written meanwhile.
    DataInterface = FData.get();
    ASSERT_TRUE(FData->Connect());
    EXPECT_EQ(Value(QStringLiteral("select count(*) from sentencelist")).toInt(), 1);
    EXPECT_EQ(UserCount(), 0);
}

TEST_F(DataAccessTest, UsersAreStoredAndMatchedAsWritten)
{
    const QStringList names = {QStringLiteral("O'Brien"), QStringLiteral("张 三"),
                               QStringLiteral("x' or '1'='1"), QStringLiteral(" spaced ")};
    EXPECT_EQ(UserCount(), 0);
    for (const QString& name : names)
        ASSERT_TRUE(AddUser({name, QStringLiteral("402719")}));
    EXPECT_EQ(UserCount(), names.size());
    EXPECT_EQ(Texts(QStringLiteral("select username from userinfo order by rowid")), names);
    EXPECT_EQ(Texts(QStringLiteral("select distinct userpass from userinfo")), QStringList{QStringLiteral("402719")});

    for (const QString& name : names)
        EXPECT_TRUE(UserExists(name)) << name.toStdString();
    for (const QString& other : {QStringLiteral("O"), QStringLiteral("O''Brien"), QStringLiteral("x"),
                                 QStringLiteral("张三"), QStringLiteral("spaced"), QString()})
        EXPECT_FALSE(UserExists(other)) << other.toStdString();
}

TEST_F(DataAccessTest, FirstUseEndsWithUpdateFirstUseTime)
{
    ASSERT_TRUE(AddUser({QStringLiteral("O'Brien"), QString()}));
    ASSERT_TRUE(AddUser({QStringLiteral("张 三"), QString()}));

    EXPECT_TRUE(IsFirstUse(QStringLiteral("O'Brien")));
    EXPECT_TRUE(IsFirstUse(QStringLiteral("nobody")));
    ASSERT_TRUE(UpdateFirstUseTime(QStringLiteral("O'Brien"), LeapDayEvening));
    EXPECT_FALSE(IsFirstUse(QStringLiteral("O'Brien")));
    EXPECT_TRUE(IsFirstUse(QStringLiteral("张 三")));

    const QVariant stored = Value(QStringLiteral("select firstusetime from userinfo where username='O''Brien'"));
    EXPECT_EQ(stored.toString(), LeapDayEveningText);
    EXPECT_EQ(DateTimeFromDb(stored), LeapDayEvening);

    // Empty text counts as never used, like NULL.
    ASSERT_TRUE(Exec(QStringLiteral("update userinfo set firstusetime='' where username='张 三'")));
    EXPECT_TRUE(IsFirstUse(QStringLiteral("张 三")));
}

TEST_F(DataAccessTest, LastLoginTimesSortInTimeOrder)
{
    for (const char* name : {"amy", "ben", "cai"})
        ASSERT_TRUE(AddUser({QString::fromUtf8(name), QString()}));
    // Day-first or month-first date texts would put these the wrong way round.
    ASSERT_TRUE(UpdateLastLoginTime(QStringLiteral("amy"), QDateTime(QDate(2023, 12, 31), QTime(9, 0))));
    ASSERT_TRUE(UpdateLastLoginTime(QStringLiteral("ben"), QDateTime(QDate(2024, 1, 2), QTime(8, 0))));
    EXPECT_EQ(Texts(QStringLiteral("select username from userinfo order by lastlongintime desc")),
              (QStringList{QStringLiteral("ben"), QStringLiteral("amy"), QStringLiteral("cai")}));
    EXPECT_EQ(Value(QStringLiteral("select lastlongintime from userinfo where username='amy'")).toString(),
              QStringLiteral("2023-12-31T09:00:00.000"));
}

TEST_F(DataAccessTest, DateTimesAreIsoTextInLocalTime)
{
    EXPECT_EQ(DateTimeToDb(LeapDayEvening).toString(), LeapDayEveningText);
    EXPECT_EQ(DateTimeFromDb(LeapDayEveningText), LeapDayEvening);

    // A date-time given in another zone is stored as the same instant in local time.
    const QDateTime utc = LeapDayEvening.toUTC();
    ASSERT_EQ(utc.timeSpec(), Qt::UTC);
    EXPECT_EQ(DateTimeToDb(utc).toString(), LeapDayEveningText);
    EXPECT_EQ(DateTimeFromDb(DateTimeToDb(utc)), utc);

    EXPECT_TRUE(DateTimeToDb(QDateTime()).isNull());
    EXPECT_FALSE(DateTimeFromDb(QVariant()).isValid());
    EXPECT_FALSE(DateTimeFromDb(QStringLiteral("")).isValid());
}

TEST_F(DataAccessTest, UserCountIsZeroWithoutTheTable)
{
    ASSERT_TRUE(AddUser({QStringLiteral("amy"), QString()}));
    ASSERT_EQ(UserCount(), 1);
    ASSERT_TRUE(Exec(QStringLiteral("drop table userinfo")));
    EXPECT_EQ(UserCount(), 0);
    EXPECT_FALSE(UserExists(QStringLiteral("amy")));
    EXPECT_FALSE(IsFirstUse(QStringLiteral("amy")));
    EXPECT_FALSE(AddUser({QStringLiteral("ben"), QString()}));
}

TEST_F(DataAccessTest, MediaRowsAreDeletedByExactPathAndName)
{
    const QString tom = QStringLiteral("Tom's");
    const QString lesson1 = QStringLiteral("/home/tom/Tom's 课件/lesson 1.mp3");
    const QString lesson2 = QStringLiteral("/home/tom/Tom's 课件/lesson 2.mp3");
    ASSERT_TRUE(AddMediaFileLoad({tom, 1, lesson1, QStringLiteral("lesson 1.mp3")}));
    ASSERT_TRUE(AddMediaFileLoad({tom, 2, lesson2, QStringLiteral("lesson 2.mp3")}));
    ASSERT_TRUE(AddMediaFileLoad({QStringLiteral("Ann"), 1, lesson1, QStringLiteral("lesson 1.mp3")}));

    const auto rows = Rows(QStringLiteral("select name, mediatype, path, filename from mediafileload order by rowid"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1], (QVariantList{tom, 2, lesson2, QStringLiteral("lesson 2.mp3")}));

    // Texts that match only what comes before the apostrophe remove nothing.
    EXPECT_TRUE(DeleteMediaFileLoad({QStringLiteral("Tom"), 1, lesson1, QString()}));
    EXPECT_TRUE(DeleteMediaFileLoad({tom, 1, QStringLiteral("/home/tom/Tom"), QString()}));
    EXPECT_EQ(Value(QStringLiteral("select count(*) from mediafileload")).toInt(), 3);

    EXPECT_TRUE(DeleteMediaFileLoad({tom, 0, lesson1, QString()}));
    EXPECT_EQ(Texts(QStringLiteral("select name || '|' || path from mediafileload order by rowid")),
              (QStringList{tom + u'|' + lesson2, QStringLiteral("Ann|") + lesson1}));
}

TEST_F(DataAccessTest, RecentFilesAreDeletedExactlyAndClearedPerUser)
{
    const QString tom = QStringLiteral("Tom's");
    const QString pack = QStringLiteral("/opt/pibo/audio/it's 新概念/第1课.pibo");
    const QString packB = QStringLiteral("/opt/pibo/audio/it's 新概念/第2课.pibo");
    ASSERT_TRUE(AddRecentFile({tom, 3, pack, QStringLiteral("第1课.pibo")}));
    ASSERT_TRUE(AddRecentFile({tom, 3, packB, QStringLiteral("第2课.pibo")}));
    ASSERT_TRUE(AddRecentFile({QStringLiteral("Ann"), 3, pack, QStringLiteral("第1课.pibo")}));
    ASSERT_TRUE(AddRecentFile({tom, 1, QStringLiteral("/music/a b.wav"), QStringLiteral("a b.wav")}));

    // Numbered by the database, newest highest.
    EXPECT_EQ(Texts(QStringLiteral("select filename from recentfilelist order by id desc")).first(),
              QStringLiteral("a b.wav"));
    EXPECT_EQ(Rows(QStringLiteral("select name, filetype, path, filename from recentfilelist order by id")).front(),
              (QVariantList{tom, 3, pack, QStringLiteral("第1课.pibo")}));

    EXPECT_TRUE(DeleteRecentFile({tom, 3, pack, QString()}));
    EXPECT_EQ(Texts(QStringLiteral("select name || '|' || filename from recentfilelist order by id")),
              (QStringList{tom + QStringLiteral("|第2课.pibo"), QStringLiteral("Ann|第1课.pibo"),
                           tom + QStringLiteral("|a b.wav")}));

    SystemPara.UserInfo.UserName = tom;
    EXPECT_TRUE(ClearRecentFiles());
    EXPECT_EQ(Texts(QStringLiteral("select name from recentfilelist")), QStringList{QStringLiteral("Ann")});
}

TEST_F(DataAccessTest, StudyRecordsStoreEveryField)
{
    const QDateTime other(QDate(2023, 7, 1), QTime(0, 0, 5, 7));

    TTranslateRecord transfer;
    transfer.Name = QStringLiteral("O'Brien");
    transfer.WordCount = 12;
    transfer.MoveCount = 3;
    transfer.Accuracy = QStringLiteral("75%");
    transfer.Sentence = QStringLiteral("It's a 测试; isn't it?");
    transfer.EndTime = LeapDayEvening;
    transfer.CostTime = 42;
    transfer.KeJianName = QStringLiteral("新概念 'one'");
    ASSERT_TRUE(AddTransferRecord(transfer));
    EXPECT_EQ(Rows(QStringLiteral("select name, wordcount, movecount, accuracy, sentence, endtime, costtime, "
                                  "kejianname from transferrecord")).front(),
              (QVariantList{transfer.Name, 12, 3, transfer.Accuracy, transfer.Sentence, LeapDayEveningText, 42,
                            transfer.KeJianName}));

    TSingleDictateRecord dictate;
    dictate.Name = QStringLiteral("张 三");
    dictate.Accuracy = QStringLiteral("100%");
    dictate.DictateTime = other;
    dictate.CostTime = 600;
    dictate.KeJianName = QStringLiteral("Lesson 'A'");
    ASSERT_TRUE(AddSingleDictateRecord(dictate));
    EXPECT_EQ(Rows(QStringLiteral("select name, accuracy, kejianname, dictatetime, costtime "
                                  "from singledictaterecord")).front(),
              (QVariantList{dictate.Name, dictate.Accuracy, dictate.KeJianName,
                            QStringLiteral("2023-07-01T00:00:05.007"), 600}));

    TStudySpeakRecord speak;
    speak.Name = QStringLiteral("O'Brien");
    speak.RecordTime = LeapDayEvening;
    speak.CostTime = 9;
    speak.RecordFileSize = 123456;
    speak.Content = QStringLiteral("What's up? 怎么了？");
    ASSERT_TRUE(AddStudySpeakRecord(speak));
    const auto row = Rows(QStringLiteral("select name, recordtime, costtime, recordfilesize, content "
                                         "from studyspeakrecord")).front();
    EXPECT_EQ(row, (QVariantList{speak.Name, LeapDayEveningText, 9, 123456, speak.Content}));
    EXPECT_EQ(DateTimeFromDb(row[1]), LeapDayEvening);
}

TEST_F(DataAccessTest, DeletingByIdRemovesExactlyThatRow)
{
    struct Table {
        const char* name;
        std::function<bool(const QString& name)> add;
        std::function<bool(qint32 id)> remove;
    };
    const std::vector<Table> tables = {
        {"transferrecord", [](const QString& n) { TTranslateRecord r; r.Name = n; return AddTransferRecord(r); },
         DeleteTransferRecord},
        {"sentencelist", [](const QString& n) { TSentenceList r; r.Name = n; return AddSentenceList(r); },
         DeleteSentenceList},
        {"singledictaterecord",
         [](const QString& n) { TSingleDictateRecord r; r.Name = n; return AddSingleDictateRecord(r); },
         DeleteSingleDictateRecord},
        {"studyspeakrecord", [](const QString& n) { TStudySpeakRecord r; r.Name = n; return AddStudySpeakRecord(r); },
         DeleteStudySpeakRecord},
    };
    for (const Table& t : tables) {
        SCOPED_TRACE(t.name);
        const QString table = QLatin1String(t.name);
        for (const char* n : {"first", "second", "third"})
            ASSERT_TRUE(t.add(QString::fromUtf8(n)));
        const QStringList ids = Texts(QStringLiteral("select id from %1 order by id").arg(table));
        ASSERT_EQ(ids.size(), 3);
        EXPECT_LT(ids[0].toInt(), ids[1].toInt());

        EXPECT_TRUE(t.remove(ids[1].toInt()));
        EXPECT_EQ(Texts(QStringLiteral("select name from %1 order by id").arg(table)),
                  (QStringList{QStringLiteral("first"), QStringLiteral("third")}));
        // An id that no longer exists removes nothing.
        EXPECT_TRUE(t.remove(ids[1].toInt()));
        EXPECT_EQ(Value(QStringLiteral("select count(*) from %1").arg(table)).toInt(), 2);
    }
}

TEST_F(DataAccessTest, SentenceSoundRoundTrip)
{
    const QByteArray sound = BinarySound();
    const QString clip = FFolder.File("temp/PiboTempAddSentence.mp3");
    WriteAll(clip, sound);

    TSentenceList sentence;
    sentence.Name = QStringLiteral("O'Brien");
    sentence.FileName = QStringLiteral("第1课 it's.mp3");
    sentence.English = QStringLiteral("It's fine.");
    sentence.China = QStringLiteral("没关系。");
    sentence.Mp3File = clip;
    sentence.OperateTime = LeapDayEvening;
    ASSERT_TRUE(AddSentenceList(sentence));
    const qint32 id = LastId("sentencelist");
    EXPECT_EQ(Rows(QStringLiteral("select name, filename, english, china, operatetime from sentencelist")).front(),
              (QVariantList{sentence.Name, sentence.FileName, sentence.English, sentence.China,
                            LeapDayEveningText}));

    // An existing target is replaced whole, also when it was longer.
    const QString target = FFolder.File("temp/导出 it's.mp3");
    WriteAll(target, QByteArray(sound.size() * 2, 'x'));
    ASSERT_TRUE(SaveSentenceMp3ToFile(id, target));
    EXPECT_EQ(ReadAll(target), sound);

    // The row holds its own copy: the clip may go away.
    ASSERT_TRUE(QFile::remove(clip));
    const QString second = FFolder.File("temp/second.mp3");
    ASSERT_TRUE(SaveSentenceMp3ToFile(id, second));
    EXPECT_EQ(ReadAll(second), sound);
}

TEST_F(DataAccessTest, SentenceWithoutSoundWritesNoFile)
{
    WriteAll(FFolder.File("temp/empty.mp3"), QByteArray());
    const std::vector<std::pair<const char*, QString>> clips = {
        {"missing clip", FFolder.File("temp/missing.mp3")},
        {"no clip named", QString()},
        {"empty clip", FFolder.File("temp/empty.mp3")},
        {"a folder", FFolder.File("temp")},
    };
    for (const auto& [what, clip] : clips) {
        SCOPED_TRACE(what);
        TSentenceList sentence;
        sentence.Name = QStringLiteral("amy");
        sentence.English = QStringLiteral("No sound.");
        sentence.Mp3File = clip;
        ASSERT_TRUE(AddSentenceList(sentence));
        const qint32 id = LastId("sentencelist");
        EXPECT_TRUE(Value(QStringLiteral("select mp3file from sentencelist where id=%1").arg(id)).isNull());

        const QString target = FFolder.File("temp/out.mp3");
        EXPECT_FALSE(SaveSentenceMp3ToFile(id, target));
        EXPECT_FALSE(QFileInfo::exists(target));
    }

    // No such row: false, and an existing target stays as it was.
    const QString existing = FFolder.File("temp/keep.mp3");
    WriteAll(existing, "keep");
    EXPECT_FALSE(SaveSentenceMp3ToFile(9999, existing));
    EXPECT_EQ(ReadAll(existing), QByteArray("keep"));
}

TEST_F(DataAccessTest, LoadDefaultCutPlan)
{
    struct Case {
        const char* what;
        QStringList setup;
        TAudioCutSentencePara expected;
    };
    const QString insert = QStringLiteral("insert into AudioCutPlan(planname, noisevalue, mutevalue, minlength, "
                                          "breakvalue, isdefault) values(%1)");
    const std::vector<Case> cases = {
        {"shipped default", {}, {2500, 5, 1200, 150, QStringLiteral("默认方案")}},
        {"no default row",
         {QStringLiteral("update AudioCutPlan set isdefault=0"), insert.arg("'quiet', 1000, 3, 800, 100, 0")},
         {2500, 5, 1200, 150, QStringLiteral("kept")}},
        {"two default rows",
         {QStringLiteral("update AudioCutPlan set isdefault=0"), insert.arg("'O''Neil 方案', 1000, 3, 800, 100, 1"),
          insert.arg("'second', 2000, 4, 900, 120, 1")},
         {1000, 3, 800, 100, QStringLiteral("O'Neil 方案")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Exec(QStringLiteral("delete from AudioCutPlan")));
        ASSERT_TRUE(Exec(insert.arg("'默认方案', 2500, 5, 1200, 150, 1")));
        for (const QString& sql : c.setup)
            ASSERT_TRUE(Exec(sql)) << sql.toStdString();
        TAudioCutSentencePara para{1, 2, 3, 4, QStringLiteral("kept")};
        ASSERT_TRUE(LoadDefaultCutPlan(para));
        EXPECT_EQ(para.NoiseValue, c.expected.NoiseValue);
        EXPECT_EQ(para.MuteValue, c.expected.MuteValue);
        EXPECT_EQ(para.MinLength, c.expected.MinLength);
        EXPECT_EQ(para.BreakValue, c.expected.BreakValue);
        EXPECT_EQ(para.PlanName, c.expected.PlanName);
    }
}

class CutPlanSwitchTest : public DataAccessTest {
protected:
    void SetUp() override
    {
        DataAccessTest::SetUp();
        ASSERT_TRUE(Exec(QStringLiteral("insert into AudioCutPlan(planname, noisevalue, mutevalue, minlength, "
                                        "breakvalue, isdefault) values('O''Neil 的方案', 3000, 6, 1500, 200, 0)")));
    }

    QStringList Defaults() { return Texts(QStringLiteral("select planname from AudioCutPlan where isdefault=1")); }
};

TEST_F(CutPlanSwitchTest, SwitchesTheOneDefault)
{
    const QString oneil = QStringLiteral("O'Neil 的方案");
    ASSERT_TRUE(SetDefaultCutPlan(oneil));
    EXPECT_EQ(Defaults(), QStringList{oneil});
    TAudioCutSentencePara para;
    ASSERT_TRUE(LoadDefaultCutPlan(para));
    EXPECT_EQ(para.NoiseValue, 3000);
    EXPECT_EQ(para.MuteValue, 6);
    EXPECT_EQ(para.MinLength, 1500);
    EXPECT_EQ(para.BreakValue, 200);
    EXPECT_EQ(para.PlanName, oneil);

    ASSERT_TRUE(SetDefaultCutPlan(QStringLiteral("默认方案")));
    EXPECT_EQ(Defaults(), QStringList{QStringLiteral("默认方案")});
}

TEST_F(CutPlanSwitchTest, KeepsTheOldDefaultWhenTheSwitchFails)
{
    // No plan of that name (also none matched by a quote trick).
    for (const QString& name : {QStringLiteral("nope"), QStringLiteral("x' or '1'='1"), QStringLiteral("O")}) {
        EXPECT_FALSE(SetDefaultCutPlan(name)) << name.toStdString();
        EXPECT_EQ(Defaults(), QStringList{QStringLiteral("默认方案")});
    }

    // The second statement fails after the first cleared every default.
    ASSERT_TRUE(Exec(QStringLiteral("create trigger refuse before update of isdefault on AudioCutPlan "
                                    "when new.isdefault=1 begin select raise(abort, 'refused'); end")));
    EXPECT_FALSE(SetDefaultCutPlan(QStringLiteral("O'Neil 的方案")));
    EXPECT_EQ(Defaults(), QStringList{QStringLiteral("默认方案")});

    // The connection is usable afterwards: no transaction was left open.
    ASSERT_TRUE(Exec(QStringLiteral("drop trigger refuse")));
    EXPECT_TRUE(SetDefaultCutPlan(QStringLiteral("O'Neil 的方案")));
    EXPECT_EQ(Defaults(), QStringList{QStringLiteral("O'Neil 的方案")});
}
