#pragma once

// The data module: owner of the one connection to the local database
// data/data.db in the program folder.

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtSql/QSqlDatabase>

class TDataInterface : public QObject {
    Q_OBJECT

public:
    explicit TDataInterface(QObject* parent = nullptr);
    ~TDataInterface() override;

    // Opens ProgramFolder() + "data/data.db". True only when the file exists,
    // is an SQLite database and holds the program's tables; a missing file is
    // never created. An open connection is closed first.
    bool Connect();
    bool Connected() const;
    void Close();

    // The connection, for the queries of other modules. Not open before a
    // successful Connect or after Close.
    QSqlDatabase Connection() const;

    // The path of the database file.
    static QString DatabaseFile();

private:
    QString FConnectionName;
    bool FConnected = false;
};

// The one data module, created and freed by the program's start-up code.
extern TDataInterface* DataInterface;
