#pragma once

// Making the program's database file from the schema script. Used by the
// build tool make_database and by tests that need a database of their own.

#include <QtCore/QString>
#include <QtCore/QStringList>

// Splits an SQL script into its statements at the semicolons that stand
// outside quotes and comments; comments are dropped, empty statements skipped.
// Trigger bodies (BEGIN ... END with inner semicolons) are not supported.
QStringList SplitSqlStatements(const QString& script);

// Runs the UTF-8 schema script schemaFile in one transaction on a new SQLite
// file and moves that file into place as databaseFile (its folder is created
// when missing). The new file is built under a temporary name next to the
// target, so a failure leaves an existing databaseFile as it was. On failure
// returns false and, when error is given, stores the reason in it.
bool CreateDatabaseFromSchema(const QString& schemaFile, const QString& databaseFile,
                              QString* error = nullptr);
