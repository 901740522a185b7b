#pragma once

#include <QtCore/QIODevice>
#include <QtCore/QString>

#include <functional>

// Writes a cache file under temp/ whole: into "<path>.part", then renamed
// into place, so that a reader finds all of it or none. It is not synced to
// the disk: a cache lost in a crash is checked when read and made anew.
// write fills the file and answers false on failure; beforeRename, when
// given, runs between the two steps. Answers false and leaves nothing
// behind when a step fails.
bool WriteCacheFile(const QString& path, const std::function<bool(QIODevice&)>& write,
                    const std::function<void()>& beforeRename = {});
