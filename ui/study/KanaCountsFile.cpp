#include "KanaCountsFile.h"

#include <QDir>
#include <QFileInfo>

#include "SafeFile.h"

namespace moratutor::study {

QString KanaCountsPath(const QString& preferencesPath, const QString& exeDir, const QString& dataDir) {
    const QFileInfo preferences(preferencesPath);
    const QString name = preferences.completeBaseName() + QStringLiteral(".kana");
    const bool portable = QDir(preferences.absolutePath()) == QDir(exeDir);
    if (portable || dataDir.isEmpty()) return QDir(preferences.absolutePath()).filePath(name);
    return QDir(dataDir).filePath(name);
}

KanaCounts KanaCountsFile::Load() {
    problem_.clear();
    if (!QFileInfo::exists(path_)) {
        state_ = State::Missing;
        return {};
    }
    const moratutor::ReadOutcome read = moratutor::ReadFileBounded(path_, kMaxBytes);
    std::optional<KanaCounts> counts;
    if (read.status == moratutor::ReadOutcome::Status::Read) counts = KanaCounts::Parse(read.bytes);
    if (!counts) {
        state_ = State::Damaged;
        problem_ = QStringLiteral("Файл счётчиков каны «%1» повреждён или не читается: счёт идёт заново, а файл "
                                  "остаётся как есть, пока вы не сбросите счётчики.")
                       .arg(QDir::toNativeSeparators(path_));
        return {};
    }
    state_ = State::Read;
    return *counts;
}

bool KanaCountsFile::Save(const KanaCounts& counts, bool replaceDamaged) {
    if (state_ == State::Damaged && !replaceDamaged) return false;
    // Nothing counted yet and no file: no file is made for nothing.
    if (state_ == State::Missing && counts.Empty()) return true;
    QDir().mkpath(QFileInfo(path_).absolutePath());
    const moratutor::SaveOutcome outcome = moratutor::SaveFileSafely(path_, counts.Serialise());
    if (!outcome.Saved()) {
        problem_ = QStringLiteral("Счётчики каны не записаны в «%1»: %2").arg(QDir::toNativeSeparators(path_), outcome.reason);
        return false;
    }
    state_ = State::Read;
    problem_.clear();
    return true;
}

}  // namespace moratutor::study
