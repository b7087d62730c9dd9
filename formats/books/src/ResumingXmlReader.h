// An XML reader that goes on past damage, for books that are read as far as they can be.
#pragma once

#include <QString>
#include <QXmlStreamReader>

#include <vector>

namespace moratutor::books {

// Reads like QXmlStreamReader, but where it stops at an error (a stray '&', an undeclared
// entity, a broken tag, an end tag that closes the wrong element) reading starts again
// inside the elements that were open: at the text that was not yet read, the damaged part
// left out; an end tag of an element further out first closes the ones inside it, reported
// as their end elements. HTML's named entities are declared throughout. A resumption copies
// the rest of the document, so their number is limited.
class ResumingXmlReader {
public:
    // maxResumptions 0: stop at the first error, as QXmlStreamReader does.
    ResumingXmlReader(const QString& xml, int maxResumptions);

    bool AtEnd() const { return reader_.atEnd() && pendingEnds_ == 0; }
    QXmlStreamReader::TokenType Next();

    // The current token's details: name, attributes, text, entity declarations.
    const QXmlStreamReader& Reader() const { return reader_; }
    // True once any error was met, even one read past; false for a well-formed document.
    bool Damaged() const { return damaged_; }
    // True when the document ended at an error it could not read past.
    bool Stopped() const { return reader_.hasError(); }

private:
    struct Open {
        QString QualifiedName;
        QXmlStreamNamespaceDeclarations Namespaces;
    };
    QXmlStreamReader::TokenType Read();
    bool Resume();
    qsizetype OriginalPosition(qint64 offset) const;
    void Restart(qsizetype runStart, qsizetype runEnd);

    QString original_;
    QXmlStreamReader reader_;
    std::vector<Open> open_;
    int resumptionsLeft_;
    bool damaged_ = false;
    bool rootClosed_ = false;
    int pendingEnds_ = 0;       // end elements to report before reading on
    int hiddenStarts_ = 0;      // the re-opened elements at the start of a resumed part
    qint64 lastGood_ = 0;       // reader offset after the last token read
    qsizetype lastResume_ = -1;
    // The part being read: the synthetic head (declarations, the re-opened elements and the
    // repaired text) of headLength characters, then original_ from base_.
    qsizetype base_ = 0;
    qsizetype headLength_ = 0;
    qsizetype runStart_ = 0;
};

}  // namespace moratutor::books
