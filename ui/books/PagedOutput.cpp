#include "PagedOutput.h"

#include "SafeFile.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTextDocument>

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

bool PaintPages(const QTextDocument& source, QPagedPaintDevice& device) {
    QPainter painter;
    if (!painter.begin(&device)) return false;

    // A copy laid out for the device: its resolution, not the screen's, decides line breaks.
    std::unique_ptr<QTextDocument> document(source.clone());
    document->setDefaultFont(source.defaultFont());
    document->documentLayout()->setPaintDevice(&device);
    document->setDocumentMargin(0);

    const QRectF paintable = device.pageLayout().paintRectPixels(device.logicalDpiX());
    QFont footerFont = source.defaultFont();
    footerFont.setPointSizeF(9);
    const qreal footer = QFontMetricsF(footerFont, &device).height() * 2;
    const QSizeF page(paintable.width(), paintable.height() - footer);
    document->setPageSize(page);

    const int pages = document->pageCount();
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !device.newPage()) return false;
        painter.save();
        painter.translate(0, -index * page.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, index * page.height(), page.width(), page.height());
        context.palette.setColor(QPalette::Text, Qt::black);
        document->documentLayout()->draw(&painter, context);
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
    if (!pdf) return QStringLiteral("Failed to Save Stream");
    return WriteFileSafely(path, *pdf);
}

}  // namespace moratutor::books
