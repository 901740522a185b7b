#pragma once

#include <QtCore/QString>

// A lock that lets one copy of a program run per program folder. It is an
// advisory lock on a file in the program folder (in the temporary folder when
// the program folder cannot be written): the system drops it when the process
// ends in any way, so a crashed copy never leaves it taken.
class TSingleInstanceLock {
public:
    explicit TSingleInstanceLock(const QString& name);
    ~TSingleInstanceLock();
    TSingleInstanceLock(const TSingleInstanceLock&) = delete;
    TSingleInstanceLock& operator=(const TSingleInstanceLock&) = delete;

    // True when this process now holds the lock (also when it held it already).
    bool TryAcquire();
    void Release();
    bool Held() const { return FHandle >= 0; }
    QString LockFilePath() const { return FPath; }

private:
    QString FPath;
    QString FFallbackPath;
    int FHandle = -1;
};
