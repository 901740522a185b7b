#include "DatabaseSchema.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlError>
#include <QtSql/QSqlQuery>

#include <atomic>
#include <cstdio>

QStringList SplitSqlStatements(const QString& script)
{
    QStringList statements;
    QString current;
    const qsizetype n = script.size();
    qsizetype i = 0;
    auto flush = [&]() {
        const QString statement = current.trimmed();
        if (!statement.isEmpty())
            statements.append(statement);
        current.clear();
    };
    while (i < n) {
        const QChar c = script.at(i);
        const QChar next = i + 1 < n ? script.at(i + 1) : QChar();
        if (c == u'-' && next == u'-') {
            while (i < n && script.at(i) != u'\n')
                ++i;
            current += u' ';
        } else if (c == u'/' && next == u'*') {
            const qsizetype end = script.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            current += u' ';
        } else if (c == u'\'' || c == u'"' || c == u'`' || c == u'[') {
            // A quoted text or name, copied whole; a doubled quote stays inside.
            const QChar close = c == u'[' ? QChar(u']') : c;
            current += c;
            ++i;
            while (i < n) {
                const QChar q = script.at(i);
                current += q;
                ++i;
                if (q == close) {
                    if (close != u']' && i < n && script.at(i) == close) {
                        current += close;
                        ++i;
                        continue;
                    }
                    break;
                }
            }
        } else if (c == u';') {
            flush();
            ++i;
        } else {
            current += c;
            ++i;
        }
    }
    flush();
    return statements;
}

namespace {

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString NewConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("PiboMakeDatabase%1").arg(++counter);
}

// Runs the statements on a new SQLite file; the connection is gone afterwards.
bool RunScript(const QString& file, const QStringList& statements, QString* error)
{
    const QString name = NewConnectionName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (!db.open()) {
            SetError(error, QStringLiteral("cannot create %1: %2").arg(file, db.lastError().text()));
        } else if (!db.transaction()) {
            SetError(error, QStringLiteral("cannot begin a transaction: %1").arg(db.lastError().text()));
        } else {
            ok = true;
            for (const QString& statement : statements) {
                QSqlQuery query(db);
                if (!query.exec(statement)) {
                    SetError(error, QStringLiteral("statement failed: %1\n%2")
                                        .arg(query.lastError().text(), statement));
                    ok = false;
                    break;
                }
            }
            if (ok && !db.commit()) {
                SetError(error, QStringLiteral("cannot commit: %1").arg(db.lastError().text()));
                ok = false;
            }
            if (!ok)
                db.rollback();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

}  // namespace

bool CreateDatabaseFromSchema(const QString& schemaFile, const QString& databaseFile, QString* error)
{
    QFile schema(schemaFile);
    if (!schema.open(QIODevice::ReadOnly)) {
        SetError(error, QStringLiteral("cannot read %1: %2").arg(schemaFile, schema.errorString()));
        return false;
    }
    const QStringList statements = SplitSqlStatements(QString::fromUtf8(schema.readAll()));
    if (statements.isEmpty()) {
        SetError(error, QStringLiteral("%1 holds no statement").arg(schemaFile));
        return false;
    }

    const QFileInfo target(databaseFile);
    if (!QDir().mkpath(target.absolutePath())) {
        SetError(error, QStringLiteral("cannot create the folder %1").arg(target.absolutePath()));
        return false;
    }
    const QString temp = target.absoluteFilePath() + QStringLiteral(".new");
    QFile::remove(temp);
    if (!RunScript(temp, statements, error)) {
        QFile::remove(temp);
        return false;
    }
    // rename() replaces an existing target in one step.
    if (std::rename(QFile::encodeName(temp).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        SetError(error, QStringLiteral("cannot move %1 into place").arg(temp));
        QFile::remove(temp);
        return false;
    }
    return true;
}
