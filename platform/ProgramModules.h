#pragma once

// The modules the programs load when first needed (libpibo_*.so): where they
// are found and how they are opened. Each is opened once per process and
// never unloaded.

#include <QtCore/QString>

// The module file of that name beside the program; else the one in the
// build's program folder (test and benchmark programs live elsewhere in the
// build tree); else the path beside the program all the same.
QString ProgramModulePath(const QString& fileName);

// Opens the module at path; its handle, or nullptr with error naming the
// file and the cause.
void* OpenProgramModule(const QString& path, QString& error);

// The address of a symbol of an opened module; nullptr when it has none.
void* ProgramModuleSymbol(void* module, const char* name);
