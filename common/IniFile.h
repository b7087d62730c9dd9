// An INI file kept in memory line by line, so that saving it changes only the values
// written and leaves comments, unknown keys, unknown sections and blank lines byte for byte.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

namespace moratutor {

// A flag value as the preferences file holds it: a whole number with an optional sign, in
// decimal or in hexadecimal marked by "$", "x", "X", "0x" or "0X"; any number other than 0
// is on. Anything else (empty, "yes", "1.0", a sign or prefix without digits) gives
// defaultValue. Blanks around the text are ignored. A number outside the 32-bit range
// (-2147483648 to 2147483647 in decimal, up to FFFFFFFF in hexadecimal) gives defaultValue.
bool ParseIniFlag(QStringView text, bool defaultValue);

class IniFile {
public:
    // Reads the file now. A missing file is an empty file; a file that exists but cannot be
    // read or made sense of is empty too, but then Save() refuses, so that its contents are
    // never lost. Lines may end in CR LF, LF or a lone CR; the text may be UTF-8, Windows-1251,
    // or UTF-16 of either byte order with its byte-order mark. Lines added get the file's
    // first line end, and the whole file is written back in its own encoding.
    explicit IniFile(const QString& fileName);

    bool ReadFailed() const { return readFailed_; }

    // Section and key names are matched without regard to case, blanks around them and
    // around the value trimmed; the first matching section and the first matching key in
    // it win. A missing key gives defaultValue. A value in one pair of double or single
    // quotes is read without them.
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    // Replaces the key's value in place, or adds the key after the last key of its section,
    // or adds the section at the end of the file. Names must be non-empty and free of line
    // breaks; a key must not contain "=", a section not "]", a value no line breaks:
    // std::invalid_argument otherwise.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteBool(const QString& section, const QString& key, bool value);  // "1" or "0"

    // The bytes Save() writes.
    QByteArray Contents() const;

    // Writes the whole file safely (SaveFileSafely), creating the folder when it is missing.
    // On failure returns false, the file on disk is as it was and no temporary file is left.
    bool Save() const;

private:
    enum class LineKind { Other, Section, Key };
    struct Line {
        QByteArray text;  // without its line end
        QByteArray end;   // "\n", "\r\n", or empty for a last line without one
        // What the text says, worked out once when the line is read or changed.
        LineKind kind = LineKind::Other;
        QString name;              // of the section or key
        qsizetype valueBegin = 0;  // byte range of the trimmed value in a key line
        qsizetype valueEnd = 0;
    };

    // The byte-order mark and encoding of the bytes, which are left as UTF-8 or 8-bit text;
    // false for a file that cannot be ours.
    bool TakeEncoding(QByteArray& bytes);
    void SplitLines(const QByteArray& bytes);
    void Parse(Line& line) const;
    // Index of the first header line of the section, or -1.
    qsizetype FindSection(const QString& section) const;
    // Index of the first line of the next section after the header at sectionIndex.
    qsizetype SectionEnd(qsizetype sectionIndex) const;
    qsizetype FindKey(qsizetype sectionIndex, const QString& key) const;
    void InsertLine(qsizetype index, const QByteArray& text);
    QString Decode(const QByteArray& bytes) const;
    QByteArray Encode(const QString& text) const;

    QString fileName_;
    enum class Encoding { Utf8, Windows1251, Utf16LE, Utf16BE };
    QByteArray bom_;  // the byte-order mark the file started with, kept as it was
    std::vector<Line> lines_;    // UTF-16 files are held as UTF-8
    QByteArray newLine_ = "\n";  // the file's own line end, kept for lines added
    Encoding encoding_ = Encoding::Utf8;
    bool readFailed_ = false;
};

}  // namespace moratutor
