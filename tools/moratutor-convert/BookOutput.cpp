#include "BookOutput.h"

#include "moratutor/books/BookStructure.h"
#include "moratutor/books/BookWriters.h"
#include "moratutor/books/DocumentLoader.h"
#include "moratutor/books/PagedOutput.h"
#include "moratutor/rtf/RtfWriter.h"

#include <QTextDocument>

#include <utility>
#include <vector>

namespace moratutor::convert {


LoadedBook LoadBook(std::string_view bytes) {
    LoadedBook book;
    book.Text = LoadDocumentText(bytes, nullptr, &book.Info, &book.Document);
    return book;
}

std::unique_ptr<QTextDocument> ConvertedBookDocument(const QTextDocument& source, const std::u16string& converted) {
    std::unique_ptr<QTextDocument> document = books::ConvertedInShapeOf(source, converted);
    if (document) document->setDefaultFont(books::HandoutFont());
    return document;
}

std::string RenderBook(OutputFormat format, const std::u16string& converted, const std::string& title,
                       const LoadedBook* book) {
    if (!book || !book->Document || format == OutputFormat::Txt) return RenderDocument(format, converted, title);
    const std::unique_ptr<QTextDocument> document = ConvertedBookDocument(*book->Document, converted);
    if (!document) return RenderDocument(format, converted, title);
    books::BookInfo info = book->Info;
    if (info.Title.isEmpty()) info.Title = QString::fromStdString(title);
    switch (format) {
        case OutputFormat::Rtf: return rtf::WriteRtf(*document);
        case OutputFormat::Fb2: return books::WriteFb2Book(*document, info);
        case OutputFormat::Html: return books::WriteHtml(*document, info.Title);
        case OutputFormat::Epub:
            if (auto epub = books::WriteEpubBook(*document, info)) return std::move(*epub);
            break;
        case OutputFormat::Pdf:
            if (auto pdf = books::RenderPdf(*document, info.Title)) return pdf->toStdString();
            break;
        case OutputFormat::Txt: break;
    }
    throw DocumentError("Failed to Save Stream");
}

}  // namespace moratutor::convert
