// What a loaded book says about itself, kept from load to save: title, authors, language,
// annotation and cover; and what a reader tells besides the text: whether it read on past
// damage.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace moratutor::books {

// An author as the book names them: by first, middle and last name, or by a nickname.
struct BookAuthor {
    QString FirstName;
    QString MiddleName;
    QString LastName;
    QString Nickname;

    bool IsEmpty() const { return FirstName.isEmpty() && MiddleName.isEmpty() && LastName.isEmpty() && Nickname.isEmpty(); }
    // "Имя Отчество Фамилия", or the nickname when the author has no names.
    QString DisplayName() const;
};

struct BookInfo {
    QString Title;
    std::vector<BookAuthor> Authors;
    QString Language;          // as the book gives it ("ru", "ru-RU"); empty when it does not
    QString Annotation;        // plain text, paragraphs separated by line feeds
    QByteArray Cover;          // the cover image's bytes; empty when the book has none
    QString CoverMediaType;    // "image/jpeg", "image/png" …
    QString CoverFileName;     // the name the book gave the image ("cover.jpg")
    bool Damaged = false;      // not well-formed: read as far as it could be, on past the damage

    // True when anything but the title came from a book.
    bool HasBookDetails() const {
        return !Authors.empty() || !Language.isEmpty() || !Annotation.isEmpty() || !Cover.isEmpty();
    }
};

// An author written as one line ("Лев Николаевич Толстой") split back into names: one
// word a nickname, two first and last name, three first, middle and last.
BookAuthor AuthorFromDisplayName(const QString& name);

}  // namespace moratutor::books
