#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>
#include <string>
#include <string_view>

#include "SafeFile.h"
#include "moratutor/TextDecoder.h"


namespace moratutor {

namespace detail {
namespace {

// A preferences file is a few hundred bytes; anything far larger is not one of ours and is
// neither loaded into memory nor overwritten (and would make the exit slow).
constexpr qint64 kMaxIniFileSize = 1024 * 1024;

constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// [begin, end) of bytes with the blanks at both sides removed.
void TrimRange(const QByteArray& text, qsizetype& begin, qsizetype& end) {
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
}

std::string_view View(const QByteArray& bytes) {
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool HasLineBreakOrNul(const QString& text) {
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar(0));
}

bool SameName(const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) == 0; }

QString FromUtf16(const QByteArray& bytes, bool bigEndian) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        text[i] = QChar(static_cast<char16_t>(bigEndian ? (b0 << 8) | b1 : (b1 << 8) | b0));
    }
    return text;
}

QByteArray ToUtf16(const QString& text, bool bigEndian) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        bytes[2 * i + (bigEndian ? 0 : 1)] = static_cast<char>(unit >> 8);
        bytes[2 * i + (bigEndian ? 1 : 0)] = static_cast<char>(unit & 0xFF);
    }
    return bytes;
}

}  // namespace
}  // namespace detail

bool ParseIniFlag(QStringView text, bool defaultValue) {
    const QStringView t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) negative = t[i++] == u'-';
    bool hex = false;
    if (i < t.size() && (t[i] == u'$' || t[i] == u'x' || t[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < t.size() && t[i] == u'0' && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == t.size()) return defaultValue;  // empty, or a sign or prefix alone
    // Hexadecimal takes any 32-bit pattern ($FFFFFFFF is -1); decimal the signed range.
    const quint64 limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    quint64 value = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        unsigned digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return defaultValue;
        value = value * (hex ? 16 : 10) + digit;
        if (value > limit) return defaultValue;
    }
    return value != 0;
}

namespace detail {
namespace {

// The bytes of the file, none for a missing one; false for one that cannot be ours.
bool ReadIniBytes(const QString& fileName, QByteArray& bytes) {
    const QFileInfo info(fileName);
    if (fileName.isEmpty()) return false;
    if (!info.exists()) return true;
    if (!info.isFile() || info.size() > kMaxIniFileSize) return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // The size is checked again on what is read: the file may grow after the look above.
    bytes = file.read(kMaxIniFileSize + 1);
    return file.error() == QFileDevice::NoError && bytes.size() <= kMaxIniFileSize;
}

}  // namespace
}  // namespace detail

IniFile::IniFile(const QString& fileName) : fileName_(fileName) {
    QByteArray bytes;
    readFailed_ = !detail::ReadIniBytes(fileName, bytes) || !TakeEncoding(bytes);
    if (!readFailed_) SplitLines(bytes);
}

bool IniFile::TakeEncoding(QByteArray& bytes) {
    if (bytes.startsWith(detail::kUtf8Bom)) {
        bom_ = bytes.left(3);
        bytes.remove(0, 3);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        encoding_ = bytes.startsWith("\xFF") ? Encoding::Utf16LE : Encoding::Utf16BE;
        bom_ = bytes.left(2);
        bytes.remove(0, 2);
        // Held as UTF-8; a file that would not come back byte for byte is not ours to rewrite.
        const QString text = detail::FromUtf16(bytes, encoding_ == Encoding::Utf16BE);
        QByteArray utf8 = text.toUtf8();
        if (bytes.size() % 2 != 0 || detail::ToUtf16(QString::fromUtf8(utf8), encoding_ == Encoding::Utf16BE) != bytes)
            return false;
        bytes = std::move(utf8);
    }
    // A NUL in 8-bit text means a binary file or UTF-16 without its mark: unreadable here.
    if (bytes.contains('\0')) return false;
    if (bom_.isEmpty() && !moratutor::codecs::IsValidUtf8(detail::View(bytes))) encoding_ = Encoding::Windows1251;
    return true;
}

void IniFile::SplitLines(const QByteArray& bytes) {
    bool endSeen = false;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype breakAt = start;
        while (breakAt < bytes.size() && bytes[breakAt] != '\n' && bytes[breakAt] != '\r') ++breakAt;
        Line line;
        line.text = bytes.mid(start, breakAt - start);
        if (breakAt < bytes.size()) {
            const bool crlf = bytes[breakAt] == '\r' && breakAt + 1 < bytes.size() && bytes[breakAt + 1] == '\n';
            line.end = crlf ? QByteArray("\r\n") : QByteArray(1, bytes[breakAt]);
            if (!endSeen) {
                newLine_ = line.end;
                endSeen = true;
            }
        }
        start = breakAt + line.end.size();
        Parse(line);
        lines_.push_back(std::move(line));
    }
}

QString IniFile::Decode(const QByteArray& bytes) const {
    if (encoding_ != Encoding::Windows1251) return QString::fromUtf8(bytes);
    const std::u16string text = moratutor::codecs::DecodeWindows1251(detail::View(bytes));
    return QString::fromStdU16String(text);
}

QByteArray IniFile::Encode(const QString& text) const {
    if (encoding_ != Encoding::Windows1251) return text.toUtf8();
    const std::string bytes = moratutor::codecs::EncodeWindows1251(text.toStdU16String());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void IniFile::Parse(Line& line) const {
    line.kind = LineKind::Other;
    line.name.clear();
    line.valueBegin = line.valueEnd = 0;
    const QByteArray& text = line.text;
    qsizetype begin = 0;
    qsizetype end = text.size();
    detail::TrimRange(text, begin, end);
    if (begin == end) return;
    const char first = text[begin];
    if (first == '[') {
        qsizetype close = text.indexOf(']', begin + 1);
        if (close < 0 || close > end) close = end;
        qsizetype nameBegin = begin + 1;
        qsizetype nameEnd = close;
        detail::TrimRange(text, nameBegin, nameEnd);
        line.kind = LineKind::Section;
        line.name = Decode(text.mid(nameBegin, nameEnd - nameBegin));
        return;
    }
    if (first == ';' || first == '#') return;  // comment
    const qsizetype eq = text.indexOf('=', begin);
    if (eq < 0 || eq >= end) return;
    qsizetype keyBegin = begin;
    qsizetype keyEnd = eq;
    detail::TrimRange(text, keyBegin, keyEnd);
    if (keyBegin == keyEnd) return;
    line.kind = LineKind::Key;
    line.name = Decode(text.mid(keyBegin, keyEnd - keyBegin));
    line.valueBegin = eq + 1;
    line.valueEnd = end;
    detail::TrimRange(text, line.valueBegin, line.valueEnd);
}

qsizetype IniFile::FindSection(const QString& section) const {
    const QString wanted = section.trimmed();
    for (qsizetype i = 0; i < qsizetype(lines_.size()); ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::Section && detail::SameName(line.name, wanted)) return i;
    }
    return -1;
}

qsizetype IniFile::SectionEnd(qsizetype sectionIndex) const {
    qsizetype i = sectionIndex + 1;
    while (i < qsizetype(lines_.size()) && lines_[i].kind != LineKind::Section) ++i;
    return i;
}

qsizetype IniFile::FindKey(qsizetype sectionIndex, const QString& key) const {
    const QString wanted = key.trimmed();
    const qsizetype end = SectionEnd(sectionIndex);
    for (qsizetype i = sectionIndex + 1; i < end; ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::Key && detail::SameName(line.name, wanted)) return i;
    }
    return -1;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
    const qsizetype s = FindSection(section);
    if (s < 0) return defaultValue;
    const qsizetype k = FindKey(s, key);
    if (k < 0) return defaultValue;
    const Line& line = lines_[k];
    QByteArray value = line.text.mid(line.valueBegin, line.valueEnd - line.valueBegin);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return Decode(value);
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    // A missing key reads as empty, which gives the default as well.
    return ParseIniFlag(ReadString(section, key, QString()), defaultValue);
}

void IniFile::InsertLine(qsizetype index, const QByteArray& text) {
    // A last line without its line end gets one before anything follows it.
    if (index > 0 && lines_[index - 1].end.isEmpty()) lines_[index - 1].end = newLine_;
    Line line;
    line.text = text;
    line.end = newLine_;
    Parse(line);
    lines_.insert(lines_.begin() + index, std::move(line));
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString sectionName = section.trimmed();
    const QString keyName = key.trimmed();
    if (sectionName.isEmpty() || detail::HasLineBreakOrNul(sectionName) || sectionName.contains(QLatin1Char(']')))
        throw std::invalid_argument("IniFile: bad section name");
    if (keyName.isEmpty() || detail::HasLineBreakOrNul(keyName) || keyName.contains(QLatin1Char('=')) ||
        keyName.startsWith(QLatin1Char('[')) || keyName.startsWith(QLatin1Char(';')) ||
        keyName.startsWith(QLatin1Char('#')))
        throw std::invalid_argument("IniFile: bad key name");
    if (detail::HasLineBreakOrNul(value)) throw std::invalid_argument("IniFile: bad value");

    const QByteArray keyLine = Encode(keyName) + '=' + Encode(value);
    const qsizetype s = FindSection(sectionName);
    if (s < 0) {
        if (!lines_.empty() && !lines_.back().text.trimmed().isEmpty()) InsertLine(qsizetype(lines_.size()), {});
        InsertLine(qsizetype(lines_.size()), '[' + Encode(sectionName) + ']');
        InsertLine(qsizetype(lines_.size()), keyLine);
        return;
    }
    const qsizetype k = FindKey(s, keyName);
    if (k >= 0) {
        Line& line = lines_[k];
        line.text = line.text.left(line.valueBegin) + Encode(value) + line.text.mid(line.valueEnd);
        Parse(line);
        return;
    }
    // After the section's last key, so that blank lines and comments that lead into the
    // next section stay with it.
    qsizetype after = s;
    const qsizetype end = SectionEnd(s);
    for (qsizetype i = s + 1; i < end; ++i)
        if (lines_[i].kind == LineKind::Key) after = i;
    InsertLine(after + 1, keyLine);
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray IniFile::Contents() const {
    QByteArray bytes;
    for (const Line& line : lines_) bytes += line.text + line.end;
    if (encoding_ == Encoding::Utf16LE || encoding_ == Encoding::Utf16BE)
        bytes = detail::ToUtf16(QString::fromUtf8(bytes), encoding_ == Encoding::Utf16BE);
    return bom_ + bytes;
}

bool IniFile::Save() const {
    // Overwriting a file we could not read would lose whatever it holds.
    if (readFailed_) return false;
    const QFileInfo info(fileName_);
    if (!QDir().mkpath(info.absolutePath())) return false;
    return SaveFileSafely(fileName_, Contents()).Saved();
}

}  // namespace moratutor
