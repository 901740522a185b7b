#include "UDataInterface.h"

#include "ProgramFolder.h"

#include <QtCore/QFileInfo>
#include <QtCore/QSet>
#include <QtCore/QUrl>
#include <QtSql/QSqlQuery>

#include <atomic>

TDataInterface* DataInterface = nullptr;

namespace {

// The tables the program reads and writes.
const char* const ProgramTables[] = {
    "userinfo",     "transferrecord",      "mediafileload",    "recentfilelist",
    "sentencelist", "singledictaterecord", "studyspeakrecord", "audiocutplan",
};

bool HoldsProgramTables(const QSqlDatabase& db)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // Also the first read of the file: fails when it is not a database.
    if (!query.exec(QStringLiteral("select name from sqlite_master where type='table'")))
        return false;
    QSet<QString> names;
    while (query.next())
        names.insert(query.value(0).toString().toLower());
    for (const char* table : ProgramTables)
        if (!names.contains(QLatin1String(table)))
            return false;
    return true;
}

}  // namespace

TDataInterface::TDataInterface(QObject* parent) : QObject(parent)
{
    static std::atomic<int> counter{0};
    FConnectionName = QStringLiteral("PiboData%1").arg(++counter);
}

TDataInterface::~TDataInterface()
{
    Close();
    if (QSqlDatabase::contains(FConnectionName))
        QSqlDatabase::removeDatabase(FConnectionName);
}

QString TDataInterface::DatabaseFile()
{
    return ProgramFolder() + QStringLiteral("data/data.db");
}

bool TDataInterface::Connect()
{
    try {
        Close();
        const QString file = DatabaseFile();
        if (!QFileInfo(file).isFile())
            return false;
        QSqlDatabase db = QSqlDatabase::contains(FConnectionName)
                              ? QSqlDatabase::database(FConnectionName, false)
                              : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnectionName);
        // mode=rw opens an existing file for reading and writing and never
        // creates one, also when the file vanishes after the check above.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
        db.setDatabaseName(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString(QUrl::FullyEncoded)
                           + QStringLiteral("?mode=rw"));
        if (!db.open())
            return false;
        if (!HoldsProgramTables(db)) {
            db.close();
            return false;
        }
        FConnected = true;
        return true;
    } catch (...) {
        Close();
        return false;
    }
}

bool TDataInterface::Connected() const
{
    return FConnected && Connection().isOpen();
}

void TDataInterface::Close()
{
    FConnected = false;
    if (QSqlDatabase::contains(FConnectionName)) {
        QSqlDatabase db = QSqlDatabase::database(FConnectionName, false);
        if (db.isOpen())
            db.close();
    }
}

QSqlDatabase TDataInterface::Connection() const
{
    return QSqlDatabase::database(FConnectionName, false);
}
