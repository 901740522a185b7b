#include "ProgramModules.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>

#include <dlfcn.h>

namespace {

QString ExecutableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
}

}  // namespace

QString ProgramModulePath(const QString& fileName)
{
    const QString beside = ExecutableFolder() + u'/' + fileName;
#ifdef PIBO_BUILD_PROGRAM_FOLDER
    if (!QFileInfo::exists(beside)) {
        const QString built = QStringLiteral(PIBO_BUILD_PROGRAM_FOLDER) + u'/' + fileName;
        if (QFileInfo::exists(built))
            return built;
    }
#endif
    return beside;
}

void* OpenProgramModule(const QString& path, QString& error)
{
    void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error = QString::fromLocal8Bit(why ? why : "");
        if (!error.contains(path))
            error = path + QStringLiteral(": ") + error;
    }
    return handle;
}

void* ProgramModuleSymbol(void* module, const char* name)
{
    return module ? ::dlsym(module, name) : nullptr;
}
