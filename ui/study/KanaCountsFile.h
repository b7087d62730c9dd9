// The file that keeps the kana counts between sessions: beside the preferences when they
// stand beside the program, else in the user's data folder. A damaged file never stops
// the program and is never overwritten unasked: it is kept as it is until the user resets
// the counts.
#pragma once

#include <QString>

#include "KanaCounts.h"

namespace moratutor::study {

// "<folder of the preferences>/<name>.kana" when the preferences stand in exeDir or dataDir
// is empty, else "<dataDir>/<name>.kana", <name> being the preferences file's.
QString KanaCountsPath(const QString& preferencesPath, const QString& exeDir, const QString& dataDir);

class KanaCountsFile {
public:
    explicit KanaCountsFile(QString path) : path_(std::move(path)) {}

    enum class State { Missing, Read, Damaged };
    // Reads the file: its counts, or none when it is missing or damaged.
    KanaCounts Load();
    State FileState() const { return state_; }
    const QString& Path() const { return path_; }
    // What the user is told of a damaged file or a failed save; empty otherwise.
    const QString& Problem() const { return problem_; }

    // Writes the counts safely. Refused while the file on disk is damaged, unless
    // replaceDamaged (the user asked to start afresh); false with Problem() on failure.
    bool Save(const KanaCounts& counts, bool replaceDamaged = false);

    // A counts file holds a line per kana: anything much larger is not one.
    static constexpr qint64 kMaxBytes = 64 * 1024;

private:
    QString path_;
    State state_ = State::Missing;
    QString problem_;
};

}  // namespace moratutor::study
