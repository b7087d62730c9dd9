#include "moratutor/books/PagedOutput.h"

#include "SafeFile.h"
#include "moratutor/books/BookStructure.h"
#include "moratutor/books/WholeWords.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>

namespace moratutor::books {

QFont HandoutFont() {
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setPointSize(11);
    return font;
}

void SetHandoutPageLayout(QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                     QPageLayout::Millimeter));
}

namespace {

// Draws the lines that lie on the page, line by line: the document layout would draw every
// paragraph that touches the page whole, and a PDF would then carry the lines of a
// paragraph running on to the next page twice, hidden by the clip but found by search,
// copy and text extraction. Starts at `from` and returns where the next page starts (the
// first paragraph with a line below this page), so a book costs each line once, not once
// for every page before it.
QTextBlock DrawLinesOnPage(QTextBlock from, QPainter& painter, qreal top, qreal bottom) {
    painter.setPen(Qt::black);
    QTextBlock next;
    QTextBlock block = from;
    for (; block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        if (!layout) continue;
        const QPointF origin = layout->position();
        if (origin.y() > bottom) break;
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const qreal middle = origin.y() + line.y() + line.height() / 2;
            if (middle >= top && middle < bottom) line.draw(&painter, origin);
            if (middle >= bottom && !next.isValid()) next = block;
        }
    }
    return next.isValid() ? next : block;
}

}  // namespace

bool PaintPages(const QTextDocument& source, QPagedPaintDevice& device) {
    QPainter painter;
    if (!painter.begin(&device)) return false;

    // A copy laid out for the device: its resolution, not the screen's, decides line breaks.
    std::unique_ptr<QTextDocument> document(source.clone());
    document->setDefaultFont(source.defaultFont());
    document->documentLayout()->setPaintDevice(&device);
    document->setDocumentMargin(0);
    PrepareChaptersForPages(*document);

    const QRectF paintable = device.pageLayout().paintRectPixels(device.logicalDpiX());
    QFont footerFont = source.defaultFont();
    footerFont.setPointSizeF(9);
    const qreal footer = QFontMetricsF(footerFont, &device).height() * 2;
    const QSizeF page(paintable.width(), paintable.height() - footer);
    document->setPageSize(page);
    PinWholeWordLines(*document);

    const int pages = document->pageCount();
    QTextBlock pageStart = document->begin();
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !device.newPage()) return false;
        painter.save();
        painter.translate(0, -index * page.height());
        pageStart = DrawLinesOnPage(pageStart, painter, index * page.height(), (index + 1) * page.height());
        painter.restore();
        painter.setFont(footerFont);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, page.height(), page.width(), footer), Qt::AlignHCenter | Qt::AlignBottom,
                         QString::number(index + 1));
    }
    return painter.end();
}

bool PrintDocument(const QTextDocument& document, QPrinter& printer) { return PaintPages(document, printer); }

std::optional<QByteArray> RenderPdf(const QTextDocument& document, const QString& title) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setCreator(QStringLiteral("Moratutor"));
        writer.setTitle(title);
        SetHandoutPageLayout(writer);
        if (!PaintPages(document, writer)) return std::nullopt;
    }
    if (bytes.isEmpty()) return std::nullopt;
    return bytes;
}

std::optional<QString> ExportPdf(const QTextDocument& document, const QString& path, const QString& title) {
    const std::optional<QByteArray> pdf = RenderPdf(document, title);
    const QString failed = QStringLiteral("Failed to Save Stream");
    if (!pdf) return failed;
    const SaveOutcome saved = SaveFileSafely(path, *pdf);
    if (!saved.Saved()) return SaveFailureMessage(path, saved, failed);
    return std::nullopt;
}

}  // namespace moratutor::books
