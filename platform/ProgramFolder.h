#pragma once

#include <QtCore/QString>

// The program folder: the folder of the running executable. Every path the
// programs use is built from it by plain concatenation, with '/' as separator.
// ProgramFolder() always ends in '/'.
QString ProgramFolder();

// Points the program at another folder. Tools and tests use it; the programs
// never do. An empty path returns to the executable's folder. The variable
// PIBO_PROGRAM_FOLDER of the environment, when set, has the same effect.
void SetProgramFolder(const QString& folder);
