#include "UDataOperaterFun.h"

#include "HotKeys.h"
#include "ProgramFolder.h"
#include "UDataInterface.h"

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QList>
#include <QtCore/QSaveFile>
#include <QtCore/QVariant>
#include <QtGui/QIcon>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QTreeWidget>
#include <QtWidgets/QTreeWidgetItem>
#include <QtWidgets/QTreeWidgetItemIterator>
#include <QtWidgets/QWidget>

#include <functional>
#include <initializer_list>

TSystemPara SystemPara;

namespace {

const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz");

// The open connection, or an invalid one when there is none.
QSqlDatabase OpenConnection()
{
    if (!DataInterface || !DataInterface->Connected())
        return QSqlDatabase();
    return DataInterface->Connection();
}

// A text value; a null string is stored as empty text, so that it matches.
QVariant Text(const QString& value)
{
    return QVariant(value.isNull() ? QStringLiteral("") : value);
}

// Prepares sql on the connection and runs it with the values bound in order.
bool Run(QSqlQuery& query, const QString& sql, std::initializer_list<QVariant> values)
{
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

// Runs one statement that returns no rows.
bool Execute(const QString& sql, std::initializer_list<QVariant> values)
{
    try {
        QSqlDatabase db = OpenConnection();
        if (!db.isOpen())
            return false;
        QSqlQuery query(db);
        return Run(query, sql, values);
    } catch (...) {
        return false;
    }
}

}  // namespace

QVariant DateTimeToDb(const QDateTime& value)
{
    if (!value.isValid())
        return QVariant();
    return QVariant(value.toLocalTime().toString(DateTimeFormat));
}

QDateTime DateTimeFromDb(const QVariant& value)
{
    const QString text = value.toString();
    if (value.isNull() || text.isEmpty())
        return QDateTime();
    QDateTime result = QDateTime::fromString(text, DateTimeFormat);
    if (!result.isValid())
        result = QDateTime::fromString(text, Qt::ISODateWithMs);
    return result;
}

bool AddUser(const TUserInfo& user)
{
    return Execute(QStringLiteral("insert into userinfo(username, userpass) values(?, ?)"),
                   {Text(user.UserName), Text(user.UserPass)});
}

bool UpdateLastLoginTime(const QString& userName, const QDateTime& time)
{
    return Execute(QStringLiteral("update userinfo set lastlongintime=? where username=?"),
                   {DateTimeToDb(time), Text(userName)});
}

bool UpdateFirstUseTime(const QString& userName, const QDateTime& time)
{
    return Execute(QStringLiteral("update userinfo set firstusetime=? where username=?"),
                   {DateTimeToDb(time), Text(userName)});
}

bool AddTransferRecord(const TTranslateRecord& record)
{
    return Execute(QStringLiteral("insert into transferrecord(name, wordcount, movecount, accuracy, sentence, "
                                  "endtime, costtime, kejianname) values(?, ?, ?, ?, ?, ?, ?, ?)"),
                   {Text(record.Name), record.WordCount, record.MoveCount, Text(record.Accuracy),
                    Text(record.Sentence), DateTimeToDb(record.EndTime), record.CostTime,
                    Text(record.KeJianName)});
}

bool DeleteTransferRecord(qint32 id)
{
    return Execute(QStringLiteral("delete from transferrecord where id=?"), {id});
}

bool AddMediaFileLoad(const TMediaFileLoad& media)
{
    return Execute(QStringLiteral("insert into mediafileload(name, mediatype, path, filename) values(?, ?, ?, ?)"),
                   {Text(media.Name), media.MediaType, Text(media.Path), Text(media.FileName)});
}

bool DeleteMediaFileLoad(const TMediaFileLoad& media)
{
    return Execute(QStringLiteral("delete from mediafileload where path=? and name=?"),
                   {Text(media.Path), Text(media.Name)});
}

bool AddRecentFile(const TRecentFileList& recent)
{
    return Execute(QStringLiteral("insert into recentfilelist(name, filetype, path, filename) values(?, ?, ?, ?)"),
                   {Text(recent.Name), recent.FileType, Text(recent.Path), Text(recent.FileName)});
}

bool DeleteRecentFile(const TRecentFileList& recent)
{
    return Execute(QStringLiteral("delete from recentfilelist where path=? and name=?"),
                   {Text(recent.Path), Text(recent.Name)});
}

bool ClearRecentFiles()
{
    return Execute(QStringLiteral("delete from recentfilelist where name=?"),
                   {Text(SystemPara.UserInfo.UserName)});
}

bool AddSentenceList(const TSentenceList& sentence)
{
    try {
        // A missing or unreadable clip is not an error: the row has no sound.
        QByteArray sound;
        if (!sentence.Mp3File.isEmpty() && QFileInfo(sentence.Mp3File).isFile()) {
            QFile file(sentence.Mp3File);
            if (file.open(QIODevice::ReadOnly))
                sound = file.readAll();
        }
        return Execute(QStringLiteral("insert into sentencelist(name, filename, english, china, operatetime, mp3file) "
                                      "values(?, ?, ?, ?, ?, ?)"),
                       {Text(sentence.Name), Text(sentence.FileName), Text(sentence.English), Text(sentence.China),
                        DateTimeToDb(sentence.OperateTime), sound.isEmpty() ? QVariant() : QVariant(sound)});
    } catch (...) {
        return false;
    }
}

bool DeleteSentenceList(qint32 id)
{
    return Execute(QStringLiteral("delete from sentencelist where id=?"), {id});
}

bool SaveSentenceMp3ToFile(qint32 id, const QString& fileName)
{
    try {
        QSqlDatabase db = OpenConnection();
        if (!db.isOpen())
            return false;
        QByteArray sound;
        {
            QSqlQuery query(db);
            if (!Run(query, QStringLiteral("select mp3file from sentencelist where id=?"), {id}) || !query.next())
                return false;
            sound = query.value(0).toByteArray();
        }
        if (sound.isEmpty())
            return false;
        // Written under a temporary name and moved into place when complete.
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        // An uncommitted QSaveFile leaves the target as it was.
        if (file.write(sound) != sound.size())
            return false;
        return file.commit();
    } catch (...) {
        return false;
    }
}

bool AddSingleDictateRecord(const TSingleDictateRecord& record)
{
    return Execute(QStringLiteral("insert into singledictaterecord(name, accuracy, kejianname, dictatetime, costtime) "
                                  "values(?, ?, ?, ?, ?)"),
                   {Text(record.Name), Text(record.Accuracy), Text(record.KeJianName),
                    DateTimeToDb(record.DictateTime), record.CostTime});
}

bool DeleteSingleDictateRecord(qint32 id)
{
    return Execute(QStringLiteral("delete from singledictaterecord where id=?"), {id});
}

bool AddStudySpeakRecord(const TStudySpeakRecord& record)
{
    return Execute(QStringLiteral("insert into studyspeakrecord(name, recordtime, costtime, recordfilesize, content) "
                                  "values(?, ?, ?, ?, ?)"),
                   {Text(record.Name), DateTimeToDb(record.RecordTime), record.CostTime, record.RecordFileSize,
                    Text(record.Content)});
}

bool DeleteStudySpeakRecord(qint32 id)
{
    return Execute(QStringLiteral("delete from studyspeakrecord where id=?"), {id});
}

bool LoadDefaultCutPlan(TAudioCutSentencePara& para)
{
    try {
        QSqlDatabase db = OpenConnection();
        if (!db.isOpen())
            return false;
        QSqlQuery query(db);
        if (!Run(query,
                 QStringLiteral("select noisevalue, mutevalue, minlength, breakvalue, planname "
                                "from AudioCutPlan where isdefault=1 order by rowid"),
                 {}))
            return false;
        if (query.next()) {
            para.NoiseValue = query.value(0).toInt();
            para.MuteValue = query.value(1).toInt();
            para.MinLength = query.value(2).toInt();
            para.BreakValue = query.value(3).toInt();
            para.PlanName = query.value(4).toString();
        } else {
            const TAudioCutSentencePara builtIn;
            para.NoiseValue = builtIn.NoiseValue;
            para.MuteValue = builtIn.MuteValue;
            para.MinLength = builtIn.MinLength;
            para.BreakValue = builtIn.BreakValue;
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool SetDefaultCutPlan(const QString& planName)
{
    QSqlDatabase db;
    bool begun = false;
    try {
        db = OpenConnection();
        if (!db.isOpen() || !db.transaction())
            return false;
        begun = true;
        bool ok = false;
        {
            QSqlQuery query(db);
            ok = Run(query, QStringLiteral("update AudioCutPlan set isdefault=0"), {});
            if (ok) {
                query.finish();
                ok = Run(query, QStringLiteral("update AudioCutPlan set isdefault=1 where planname=?"),
                         {Text(planName)})
                     && query.numRowsAffected() > 0;
            }
        }
        if (ok && db.commit())
            return true;
        db.rollback();
        return false;
    } catch (...) {
        if (begun)
            db.rollback();
        return false;
    }
}

bool UserExists(const QString& userName)
{
    try {
        QSqlDatabase db = OpenConnection();
        if (!db.isOpen())
            return false;
        QSqlQuery query(db);
        return Run(query, QStringLiteral("select 1 from userinfo where username=?"), {Text(userName)})
               && query.next();
    } catch (...) {
        return false;
    }
}

bool IsFirstUse(const QString& userName)
{
    try {
        QSqlDatabase db = OpenConnection();
        if (!db.isOpen())
            return false;
        QSqlQuery query(db);
        if (!Run(query, QStringLiteral("select firstusetime from userinfo where username=? order by rowid"),
                 {Text(userName)}))
            return false;
        if (!query.next())
            return true;
        return query.value(0).isNull() || query.value(0).toString().isEmpty();
    } catch (...) {
        return false;
    }
}

qint32 UserCount()
{
    try {
        QSqlDatabase db = OpenConnection();
        if (!db.isOpen())
            return 0;
        QSqlQuery query(db);
        if (!Run(query, QStringLiteral("select count(*) from userinfo"), {}) || !query.next())
            return 0;
        return query.value(0).toInt();
    } catch (...) {
        return 0;
    }
}

namespace {

struct THotKeyRow {
    const char* AtomName;
    Qt::KeyboardModifiers Modifiers;
    int Key;
    qint32 TSystemPara::*Field;
};

const THotKeyRow HotKeyRows[] = {
    {"HOTKEY_F5", Qt::NoModifier, Qt::Key_F5, &TSystemPara::HotKeyF5},
    {"HOTKEY_F7", Qt::NoModifier, Qt::Key_F7, &TSystemPara::HotKeyF7},
    {"HOTKEY_F8", Qt::NoModifier, Qt::Key_F8, &TSystemPara::HotKeyF8},
    {"HOTKEY_F9", Qt::NoModifier, Qt::Key_F9, &TSystemPara::HotKeyF9},
    {"HOTKEY_ALT_Z", Qt::AltModifier, Qt::Key_Z, &TSystemPara::HotKeyAltZ},
    {"HOTKEY_ALT_X", Qt::AltModifier, Qt::Key_X, &TSystemPara::HotKeyAltX},
};

// The last root or folder node, in tree order, that accepts.
QTreeWidgetItem* LastFolderNode(QTreeWidget* tree, const std::function<bool(const TTreeNodeData&)>& accepts)
{
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if (!HasTreeNodeData(*it))
            continue;
        const TTreeNodeData data = TreeNodeData(*it);
        if (data.Kind >= 0 && accepts(data))
            found = *it;
    }
    return found;
}

QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text, const TTreeNodeData& data, int imageIndex)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    SetTreeNodeData(item, data);
    parent->addChild(item);
    SetTreeNodeImage(item, imageIndex);
    return item;
}

}  // namespace

void RegisterHotKeys(QWidget* window)
{
    for (const THotKeyRow& row : HotKeyRows) {
        const qint32 atom = GlobalAddAtom(QLatin1String(row.AtomName));
        SystemPara.*row.Field = atom;
        RegisterHotKey(window, atom, row.Modifiers, row.Key);
    }
}

void UnregisterHotKeys(QWidget* window)
{
    for (const THotKeyRow& row : HotKeyRows)
        UnregisterHotKey(window, SystemPara.*row.Field);
}

bool HasTreeNodeData(const QTreeWidgetItem* item)
{
    return item && item->data(0, TreeNodeDataRole).canConvert<TTreeNodeData>();
}

TTreeNodeData TreeNodeData(const QTreeWidgetItem* item)
{
    if (!HasTreeNodeData(item))
        return {};
    return item->data(0, TreeNodeDataRole).value<TTreeNodeData>();
}

void SetTreeNodeData(QTreeWidgetItem* item, const TTreeNodeData& data)
{
    if (item)
        item->setData(0, TreeNodeDataRole, QVariant::fromValue(data));
}

void SetTreeNodeImage(QTreeWidgetItem* item, int imageIndex)
{
    if (!item)
        return;
    item->setData(0, TreeNodeImageRole, imageIndex);
    if (QTreeWidget* tree = item->treeWidget()) {
        const auto icons = tree->property(TreeImageListProperty).value<QList<QIcon>>();
        if (imageIndex >= 0 && imageIndex < icons.size())
            item->setIcon(0, icons.at(imageIndex));
    }
}

QTreeWidgetItem* AddKeJianFileNode(QTreeWidget* tree, const QString& packagePath, bool isVideo)
{
    if (!tree)
        return nullptr;
    const QString folder = packagePath.left(packagePath.lastIndexOf(u'/') + 1);
    QTreeWidgetItem* parent =
        LastFolderNode(tree, [&folder](const TTreeNodeData& data) { return data.Path + u'/' == folder; });
    if (!parent)
        return nullptr;
    TTreeNodeData data;
    data.Kind = -1;
    data.IsVideo = isVideo;
    data.Path = packagePath;
    return AddNode(parent, QFileInfo(packagePath).completeBaseName(), data, isVideo ? 2 : 1);
}

QTreeWidgetItem* AddKeJianDirNode(QTreeWidget* tree, const QString& parentPath, const QString& dirName, bool isVideo)
{
    if (!tree)
        return nullptr;
    QTreeWidgetItem* parent =
        LastFolderNode(tree, [&parentPath](const TTreeNodeData& data) { return data.Path == parentPath; });
    if (!parent)
        return nullptr;
    TTreeNodeData data;
    data.Kind = 1;
    data.IsVideo = isVideo;
    data.Path = parentPath + u'/' + dirName;
    return AddNode(parent, dirName, data, 0);
}

bool IsInCoursewareFolder(const QString& path)
{
    const QString folder = ProgramFolder();
    return path.contains(folder + QLatin1String("audio/")) || path.contains(folder + QLatin1String("video/"));
}
