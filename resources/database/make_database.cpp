// Build tool: make_database <schema.sql> <database file>
// Creates the program's database file afresh from the schema script.

#include "DatabaseSchema.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make_database <schema.sql> <database file>\n");
        return 2;
    }
    QString error;
    if (!CreateDatabaseFromSchema(args.at(1), args.at(2), &error)) {
        std::fprintf(stderr, "make_database: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
