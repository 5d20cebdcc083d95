#pragma once

#include <QString>
#include <QStringList>

// Reads printed PDF files back with the poppler and zbar tools, as an operator's eyes and
// scanner would.
class PdfReadback final {
public:
    // The PDF files of `folder`, oldest first (their names sort by creation).
    static QStringList files(const QString& folder);

    // Page count from pdfinfo; -1 when it cannot be read.
    static int pages(const QString& pdf);

    // pdftotext -layout, one entry per page.
    static QStringList pageTexts(const QString& pdf);

    // Every Code 39 symbol zbarimg finds on the page (1-based) rendered at `dpi`, sorted.
    // zbar reports a symbol repeated on one image once, so the page is decoded in vertical
    // strips split at `cutsX` (points from the page's left edge).
    static QStringList barcodes(const QString& pdf, int page, const QList<double>& cutsX = {}, int dpi = 300);

    // Names of the fonts embedded in the file (pdffonts), without subset prefixes.
    static QStringList fonts(const QString& pdf);

    // pdftotext -bbox: every word with its box in points from the page's top left, in reading order.
    struct Word {
        QString text;
        double left = 0;
        double top = 0;
        double right = 0;
        double bottom = 0;
    };
    static QList<Word> words(const QString& pdf, int page);

private:
    static QByteArray run(const QString& program, const QStringList& arguments, bool* ok = nullptr);
};
