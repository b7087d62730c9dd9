#include "KanaSpeech.h"

#include "moratutor/SyllableTable.h"

namespace moratutor::speech {

namespace {

const QString kJapanese = QStringLiteral("ja");
const QString kRussian = QStringLiteral("ru");

QString Trimmed(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).trimmed();
}

const moratutor::SyllableRow* RowOf(int row) {
    if (row < 1 || row > static_cast<int>(moratutor::kSyllableRowCount)) return nullptr;
    const moratutor::SyllableRow& found = moratutor::SyllableTable()[static_cast<std::size_t>(row - 1)];
    // The spaces row: a space said aloud is silence.
    return moratutor::LearningGroup(found) == 0 ? nullptr : &found;
}

std::optional<Utterance> Say(const QString& text, const QString& language) {
    if (text.isEmpty()) return std::nullopt;
    return Utterance{text, language};
}

}  // namespace

std::optional<Utterance> KanaUtterance(const moratutor::KeyEntry& entry) {
    if (!RowOf(entry.Row)) return std::nullopt;
    return Say(Trimmed(entry.Kana()), kJapanese);
}

std::optional<Utterance> SyllableUtterance(const moratutor::KeyEntry& entry) {
    if (!RowOf(entry.Row)) return std::nullopt;
    return Say(Trimmed(entry.Source()), kRussian);
}

std::optional<Utterance> KanaUtterance(int row, moratutor::KanaMode script) {
    const moratutor::SyllableRow* found = RowOf(row);
    if (!found) return std::nullopt;
    return Say(Trimmed(script == moratutor::kmKatakana ? found->Katakana : found->Hiragana), kJapanese);
}

std::optional<Utterance> SyllableUtterance(int row) {
    const moratutor::SyllableRow* found = RowOf(row);
    if (!found) return std::nullopt;
    return Say(Trimmed(found->Syllable), kRussian);
}

}  // namespace moratutor::speech
