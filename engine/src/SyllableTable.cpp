// The syllable table in the order of the pass. Guards are bit masks of the options
// that must all be on; the strings are the exact search syllables and kana.
#include "moratutor/SyllableTable.h"

#include <stdexcept>
#include <string>

namespace moratutor {
namespace {

constexpr SyllableRow Row(int row, unsigned guard, std::u16string_view syllable,
                          std::u16string_view hiragana, std::u16string_view katakana) {
    return SyllableRow{row, static_cast<std::uint16_t>(guard), syllable, hiragana, katakana};
}

constexpr std::array<SyllableRow, kSyllableRowCount> kTable{{
    Row(  1, gGroup10 | gGroup2, u"га", u"が", u"ガ"),
    Row(  2, gGroup10 | gGroup2, u"ги", u"ぎ", u"ギ"),
    Row(  3, gGroup10 | gGroup2, u"гу", u"ぐ", u"グ"),
    Row(  4, gGroup10 | gGroup2, u"гэ", u"げ", u"ゲ"),
    Row(  5, gGroup10 | gGroup2, u"го", u"ご", u"ゴ"),
    Row(  6, gGroup10 | gGroup2 | gGroup11, u"гя", u"ぎゃ", u"ギャ"),
    Row(  7, gGroup10 | gGroup2 | gGroup11, u"гю", u"ぎゅ", u"ギュ"),
    Row(  8, gGroup10 | gGroup2 | gGroup11, u"гё", u"ぎょ", u"ギョ"),
    Row(  9, gGroup10 | gGroup2 | gReplaceE, u"ге", u"げ", u"ゲ"),
    Row( 10, gGroup10 | gGroup3, u"дза", u"ざ", u"ザ"),
    Row( 11, gGroup10 | gGroup3, u"дзи", u"じ", u"ジ"),
    Row( 12, gGroup10 | gGroup3, u"дзу", u"ず", u"ズ"),
    Row( 13, gGroup10 | gGroup3, u"дзэ", u"ぜ", u"ゼ"),
    Row( 14, gGroup10 | gGroup3, u"дзо", u"ぞ", u"ゾ"),
    Row( 15, gGroup10 | gGroup3 | gGroup11, u"дзя", u"じゃ", u"ジャ"),
    Row( 16, gGroup10 | gGroup3 | gGroup11, u"дзю", u"じゅ", u"ジュ"),
    Row( 17, gGroup10 | gGroup3 | gGroup11, u"дзё", u"じょ", u"ジョ"),
    Row( 18, gGroup10 | gGroup3 | gReplaceE, u"дзе", u"ぜ", u"ゼ"),
    Row( 19, gGroup10 | gGroup4, u"да", u"だ", u"ダ"),
    Row( 20, gGroup10 | gGroup4, u"дзи", u"ぢ", u"ヂ"),
    Row( 21, gGroup10 | gGroup4, u"дзу", u"づ", u"ヅ"),
    Row( 22, gGroup10 | gGroup4, u"дэ", u"で", u"デ"),
    Row( 23, gGroup10 | gGroup4, u"до", u"ど", u"ド"),
    Row( 24, gGroup10 | gGroup4 | gGroup11, u"дзя", u"ぢゃ", u"ヂャ"),
    Row( 25, gGroup10 | gGroup4 | gGroup11, u"дзю", u"ぢゅ", u"ヂュ"),
    Row( 26, gGroup10 | gGroup4 | gGroup11, u"дзё", u"ぢょ", u"ヂョ"),
    Row( 27, gGroup10 | gGroup4 | gReplaceE, u"де", u"で", u"デ"),
    Row( 28, gGroup10 | gGroup6, u"ба", u"ば", u"バ"),
    Row( 29, gGroup10 | gGroup6, u"би", u"び", u"ビ"),
    Row( 30, gGroup10 | gGroup6, u"бу", u"ぶ", u"ブ"),
    Row( 31, gGroup10 | gGroup6, u"бэ", u"べ", u"ベ"),
    Row( 32, gGroup10 | gGroup6, u"бо", u"ぼ", u"ボ"),
    Row( 33, gGroup10 | gGroup6 | gGroup11, u"бя", u"びゃ", u"ビャ"),
    Row( 34, gGroup10 | gGroup6 | gGroup11, u"бю", u"びゅ", u"ビュ"),
    Row( 35, gGroup10 | gGroup6 | gGroup11, u"бё", u"びょ", u"ビョ"),
    Row( 36, gGroup10 | gGroup6 | gReplaceE, u"бе", u"べ", u"ベ"),
    Row( 37, gGroup10 | gGroup6, u"па", u"ぱ", u"パ"),
    Row( 38, gGroup10 | gGroup6, u"пи", u"ぴ", u"ピ"),
    Row( 39, gGroup10 | gGroup6, u"пу", u"ぷ", u"プ"),
    Row( 40, gGroup10 | gGroup6, u"пэ", u"ぺ", u"ペ"),
    Row( 41, gGroup10 | gGroup6, u"по", u"ぽ", u"ポ"),
    Row( 42, gGroup10 | gGroup6 | gGroup11, u"пя", u"ぴゃ", u"ピャ"),
    Row( 43, gGroup10 | gGroup6 | gGroup11, u"пю", u"ぴゅ", u"ピュ"),
    Row( 44, gGroup10 | gGroup6 | gGroup11, u"пё", u"ぴょ", u"ピョ"),
    Row( 45, gGroup10 | gGroup6 | gReplaceE, u"пе", u"ぺ", u"ペ"),
    Row( 46, gGroup2, u"ка", u"か", u"カ"),
    Row( 47, gGroup2, u"ки", u"き", u"キ"),
    Row( 48, gGroup2, u"ку", u"く", u"ク"),
    Row( 49, gGroup2, u"кэ", u"け", u"ケ"),
    Row( 50, gGroup2, u"ко", u"こ", u"コ"),
    Row( 51, gGroup2 | gGroup11, u"кя", u"きゃ", u"キャ"),
    Row( 52, gGroup2 | gGroup11, u"кю", u"きゅ", u"キュ"),
    Row( 53, gGroup2 | gGroup11, u"кё", u"きょ", u"キョ"),
    Row( 54, gGroup2 | gReplaceE, u"ке", u"け", u"ケ"),
    Row( 55, gGroup3, u"са", u"さ", u"サ"),
    Row( 56, gGroup3, u"си", u"し", u"シ"),
    Row( 57, gGroup3, u"су", u"す", u"ス"),
    Row( 58, gGroup3, u"сэ", u"せ", u"セ"),
    Row( 59, gGroup3, u"со", u"そ", u"ソ"),
    Row( 60, gGroup3 | gGroup11, u"ся", u"しゃ", u"シャ"),
    Row( 61, gGroup3 | gGroup11, u"сю", u"しゅ", u"シュ"),
    Row( 62, gGroup3 | gGroup11, u"сё", u"しょ", u"ショ"),
    Row( 63, gGroup3 | gReplaceE, u"се", u"せ", u"セ"),
    Row( 64, gGroup4, u"та", u"た", u"タ"),
    Row( 65, gGroup4, u"ти", u"ち", u"チ"),
    Row( 66, gGroup4, u"цу", u"つ", u"ツ"),
    Row( 67, gGroup4, u"тэ", u"て", u"テ"),
    Row( 68, gGroup4, u"то", u"と", u"ト"),
    Row( 69, gGroup4 | gGroup11, u"тя", u"ちゃ", u"チャ"),
    Row( 70, gGroup4 | gGroup11, u"тю", u"ちゅ", u"チュ"),
    Row( 71, gGroup4 | gGroup11, u"тё", u"ちょ", u"チョ"),
    Row( 72, gGroup4 | gReplaceE, u"те", u"て", u"テ"),
    Row( 73, gGroup5, u"на", u"な", u"ナ"),
    Row( 74, gGroup5, u"ни", u"に", u"ニ"),
    Row( 75, gGroup5, u"ну", u"ぬ", u"ヌ"),
    Row( 76, gGroup5, u"нэ", u"ね", u"ネ"),
    Row( 77, gGroup5, u"но", u"の", u"ノ"),
    Row( 78, gGroup5 | gGroup11, u"ня", u"にゃ", u"ニャ"),
    Row( 79, gGroup5 | gGroup11, u"ню", u"にゅ", u"ニュ"),
    Row( 80, gGroup5 | gGroup11, u"нё", u"にょ", u"ニョ"),
    Row( 81, gGroup5 | gReplaceE, u"не", u"ね", u"ネ"),
    Row( 82, gGroup6, u"ха", u"は", u"ハ"),
    Row( 83, gGroup6, u"хи", u"ひ", u"ヒ"),
    Row( 84, gGroup6, u"фу", u"ふ", u"フ"),
    Row( 85, gGroup6, u"хэ", u"へ", u"ヘ"),
    Row( 86, gGroup6, u"хо", u"ほ", u"ホ"),
    Row( 87, gGroup6 | gGroup11, u"хя", u"ひゃ", u"ヒャ"),
    Row( 88, gGroup6 | gGroup11, u"хю", u"ひゅ", u"ヒュ"),
    Row( 89, gGroup6 | gGroup11, u"хё", u"ひょ", u"ヒョ"),
    Row( 90, gGroup6 | gReplaceE, u"хе", u"へ", u"ヘ"),
    Row( 91, gGroup7, u"ма", u"ま", u"マ"),
    Row( 92, gGroup7, u"ми", u"み", u"ミ"),
    Row( 93, gGroup7, u"му", u"む", u"ム"),
    Row( 94, gGroup7, u"мэ", u"め", u"メ"),
    Row( 95, gGroup7, u"мо", u"も", u"モ"),
    Row( 96, gGroup7 | gGroup11, u"мя", u"みゃ", u"ミャ"),
    Row( 97, gGroup7 | gGroup11, u"мю", u"みゅ", u"ミュ"),
    Row( 98, gGroup7 | gGroup11, u"мё", u"みょ", u"ミョ"),
    Row( 99, gGroup7 | gReplaceE, u"ме", u"め", u"メ"),
    Row(100, gGroup8, u"ра", u"ら", u"ラ"),
    Row(101, gGroup8, u"ри", u"り", u"リ"),
    Row(102, gGroup8, u"ру", u"る", u"ル"),
    Row(103, gGroup8, u"рэ", u"れ", u"レ"),
    Row(104, gGroup8, u"ро", u"ろ", u"ロ"),
    Row(105, gGroup8 | gGroup11, u"ря", u"りゃ", u"リャ"),
    Row(106, gGroup8 | gGroup11, u"рю", u"りゅ", u"リュ"),
    Row(107, gGroup8 | gGroup11, u"рё", u"りょ", u"リョ"),
    Row(108, gGroup8 | gReplaceE, u"ре", u"れ", u"レ"),
    Row(109, gGroup9, u"я", u"や", u"ヤ"),
    Row(110, gGroup9, u"ю", u"ゆ", u"ユ"),
    Row(111, gGroup9, u"ё", u"よ", u"ヨ"),
    Row(112, gGroup9, u"ва", u"わ", u"ワ"),
    Row(113, gGroup9, u" о ", u" を ", u" ヲ "),
    Row(114, gGroup9, u"н", u"ん", u"ン"),
    Row(115, gGroup1, u"а", u"あ", u"ア"),
    Row(116, gGroup1, u"и", u"い", u"イ"),
    Row(117, gGroup1, u"у", u"う", u"ウ"),
    Row(118, gGroup1, u"э", u"え", u"エ"),
    Row(119, gGroup1, u"о", u"お", u"オ"),
    Row(120, gGroup1 | gReplaceE, u"е", u"え", u"エ"),
    Row(121, gReplaceSpaces, u" ", u"　", u"　"),
}};

constexpr std::array<std::u16string_view, 11> kGroupCaptions{
    u"А, И, У, Э, О",      u"Ка, Ки, Ку, Кэ, Ко", u"Са, Си, Су, Сэ, Со", u"Та, Ти, Цу, Тэ, То",
    u"На, Ни, Ну, Нэ, Но", u"Ха, Хи, Фу, Хэ, Хо", u"Ма, Ми, Му, Мэ, Мо", u"Ра, Ри, Ру, Рэ, Ро",
    u"Я, Ю, Ё, Ва, вО, Н", u"Нигори/Ханнигори",   u"Ёон (…я, …ю, …ё)",
};

}  // namespace

const std::array<SyllableRow, kSyllableRowCount>& SyllableTable() { return kTable; }

std::u16string_view GroupCaption(int group) {
    if (group < 1 || group > 11) throw std::out_of_range("no syllable group " + std::to_string(group));
    return kGroupCaptions[static_cast<std::size_t>(group - 1)];
}

int LearningGroup(const SyllableRow& row) {
    if (row.Guard & gGroup10) return 10;
    if (row.Guard & gGroup11) return 11;
    for (int group = 1; group <= 9; ++group)
        if (row.Guard & (1u << (group - 1))) return group;
    return 0;
}

std::uint16_t GuardMask(const OptionSet& options) {
    unsigned mask = 0;
    for (std::size_t i = 0; i < options.Characters.size(); ++i)
        if (options.Characters[i]) mask |= 1u << i;
    if (options.ReplaceE) mask |= gReplaceE;
    if (options.ReplaceSpaces) mask |= gReplaceSpaces;
    return static_cast<std::uint16_t>(mask);
}

}  // namespace moratutor
