#include "SingleInstance.h"

#include "ProgramFolder.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDir>
#include <QtCore/QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TSingleInstanceLock::TSingleInstanceLock(const QString& name)
{
    // The lock file lies in the program folder, so that each program folder
    // has its own copy running and the file goes with the folder. A folder
    // that cannot be written gets one in the temporary folder instead.
    FPath = ProgramFolder() + QStringLiteral(".%1.lock").arg(name);
    const QByteArray folderKey =
        QCryptographicHash::hash(ProgramFolder().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    FFallbackPath = QDir::tempPath() + QStringLiteral("/pibo-%1-%2-%3.lock")
                                           .arg(name)
                                           .arg(static_cast<qulonglong>(getuid()))
                                           .arg(QString::fromLatin1(folderKey));
}

TSingleInstanceLock::~TSingleInstanceLock()
{
    Release();
}

bool TSingleInstanceLock::TryAcquire()
{
    if (FHandle >= 0)
        return true;
    int fd = ::open(QFile::encodeName(FPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        FPath = FFallbackPath;
        fd = ::open(QFile::encodeName(FPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    }
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    FHandle = fd;
    return true;
}

void TSingleInstanceLock::Release()
{
    if (FHandle < 0)
        return;
    // The file stays: removing it would let a starting copy lock a different file.
    ::flock(FHandle, LOCK_UN);
    ::close(FHandle);
    FHandle = -1;
}
