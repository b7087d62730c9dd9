// Printing a document and exporting it as PDF: A4, 2 cm margins, page numbers at the foot.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QString>

#include <optional>

class QPagedPaintDevice;
class QPrinter;
class QTextDocument;

namespace moratutor::books {

// A font for documents that have none of their own (the command-line tool's): a text face
// first, then faces that show kana.
QFont HandoutFont();

// A4 portrait with 2 cm margins; a print dialog shown afterwards may change it.
void SetHandoutPageLayout(QPagedPaintDevice& device);

// Lays the document out for the device's page and paints every page, its number centred
// at the foot, in the document's own fonts (characters a font lacks, kana among them, in
// a face that has them). False when the device cannot be painted on.
bool PaintPages(const QTextDocument& document, QPagedPaintDevice& device);

// The printer as the print dialog left it.
bool PrintDocument(const QTextDocument& document, QPrinter& printer);

// The document as a PDF in A4 with the fonts it uses embedded; the title goes into the
// PDF's properties. Empty when Qt cannot paint it.
std::optional<QByteArray> RenderPdf(const QTextDocument& document, const QString& title);

// RenderPdf written safely to path. Empty when done, otherwise the message for the user.
std::optional<QString> ExportPdf(const QTextDocument& document, const QString& path, const QString& title);

}  // namespace moratutor::books
