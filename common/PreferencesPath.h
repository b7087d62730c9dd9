// Where the per-user preferences file lives.
#pragma once

#include <QString>

#include <functional>

namespace moratutor {

// Where a per-user preferences file lives: "<exeDir>/<loginName>.ini" when that file exists
// or exeDir is writable (the portable layout), otherwise "<configDir>/<loginName>.ini" (an
// installed program whose folder users cannot write). An empty configDir keeps exeDir.
// Characters that cannot stand in a file name are replaced in the login name by "_".
struct PreferencesPathChecks {
    std::function<bool(const QString& path)> fileExists;
    std::function<bool(const QString& dir)> dirWritable;
};
QString ChoosePreferencesPath(const QString& exeDir, const QString& loginName, const QString& configDir,
                              const PreferencesPathChecks& checks);

// The same with the real file system's answers.
QString ChoosePreferencesPath(const QString& exeDir, const QString& loginName, const QString& configDir);

}  // namespace moratutor
