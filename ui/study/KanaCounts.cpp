#include "KanaCounts.h"

#include <QList>
#include <QString>

#include <map>
#include <string>

#include "moratutor/SyllableTable.h"

namespace moratutor::study {

namespace {

constexpr std::string_view kHeading = "Moratutor kana counts 1";

std::u16string Trimmed(std::u16string_view text) {
    while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
    return std::u16string(text);
}

// Built once: the distinct kana, and for each row and script its index.
struct Index {
    std::vector<std::u16string> kana;
    std::vector<int> byRowAndScript;  // (row - 1) * 2 + katakana
    std::map<std::u16string, int> byText;
};

const Index& TheIndex() {
    static const Index index = [] {
        Index made;
        for (const moratutor::SyllableRow& row : moratutor::SyllableTable()) {
            for (const std::u16string_view written : {row.Hiragana, row.Katakana}) {
                if (moratutor::LearningGroup(row) == 0) {
                    made.byRowAndScript.push_back(-1);
                    continue;
                }
                const auto [it, added] = made.byText.emplace(Trimmed(written), static_cast<int>(made.kana.size()));
                if (added) made.kana.push_back(it->first);
                made.byRowAndScript.push_back(it->second);
            }
        }
        return made;
    }();
    return index;
}

std::optional<std::uint32_t> Number(const QByteArray& text) {
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok);
    if (!ok || value > 0xFFFFFFFFull || text.startsWith('+') || text.startsWith('-')) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

int KanaIndex(int row, moratutor::KanaMode script) {
    if (row < 1 || row > static_cast<int>(moratutor::kSyllableRowCount)) return -1;
    return TheIndex().byRowAndScript[static_cast<std::size_t>((row - 1) * 2 + (script == moratutor::kmKatakana ? 1 : 0))];
}

int KanaIndexCount() { return static_cast<int>(TheIndex().kana.size()); }

std::u16string_view KanaText(int index) { return TheIndex().kana.at(static_cast<std::size_t>(index)); }

KanaCounts::KanaCounts() : tallies_(static_cast<std::size_t>(KanaIndexCount())) {}

void KanaCounts::Add(int index, std::uint32_t lookUps, std::uint32_t sightings) {
    if (index < 0) return;
    Tally& tally = tallies_[static_cast<std::size_t>(index)];
    tally.LookedUp += lookUps;
    tally.Seen += sightings;
    if (tally.Met() >= kMemory) {
        tally.LookedUp /= 2;
        tally.Seen /= 2;
    }
}

Tally KanaCounts::Of(int row, moratutor::KanaMode script) const { return OfIndex(KanaIndex(row, script)); }

Tally KanaCounts::OfIndex(int index) const {
    return index >= 0 && index < static_cast<int>(tallies_.size()) ? tallies_[static_cast<std::size_t>(index)] : Tally{};
}

void KanaCounts::Reset() { tallies_.assign(tallies_.size(), Tally{}); }

bool KanaCounts::Empty() const {
    for (const Tally& tally : tallies_)
        if (tally.Met()) return false;
    return true;
}

QByteArray KanaCounts::Serialise() const {
    QByteArray text(kHeading.data(), static_cast<qsizetype>(kHeading.size()));
    text += '\n';
    for (std::size_t i = 0; i < tallies_.size(); ++i) {
        if (!tallies_[i].Met()) continue;
        const std::u16string& kana = TheIndex().kana[i];
        text += QString::fromStdU16String(kana).toUtf8() + ' ' + QByteArray::number(tallies_[i].LookedUp) + ' ' +
                QByteArray::number(tallies_[i].Seen) + '\n';
    }
    return text;
}

std::optional<KanaCounts> KanaCounts::Parse(QByteArrayView bytes) {
    QList<QByteArray> lines = bytes.toByteArray().split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
    if (lines.isEmpty() || lines.front().trimmed() != QByteArrayView(kHeading.data(), static_cast<qsizetype>(kHeading.size())))
        return std::nullopt;
    KanaCounts counts;
    std::vector<bool> had(counts.tallies_.size());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() != 3) return std::nullopt;
        const auto found = TheIndex().byText.find(QString::fromUtf8(fields[0]).toStdU16String());
        const std::optional<std::uint32_t> lookUps = Number(fields[1]), sightings = Number(fields[2]);
        if (found == TheIndex().byText.end() || !lookUps || !sightings || had[static_cast<std::size_t>(found->second)])
            return std::nullopt;
        had[static_cast<std::size_t>(found->second)] = true;
        counts.tallies_[static_cast<std::size_t>(found->second)] = {*lookUps, *sightings};
    }
    return counts;
}

}  // namespace moratutor::study
