#include "PdfReadback.h"

#include "common/TestFiles.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

QByteArray PdfReadback::run(const QString& program, const QStringList& arguments, bool* ok)
{
    // Linux tools, also for a Windows test program under Wine (runHostProgram says how).
    QByteArray output;
    const int status = runHostProgram(QStringLiteral("/usr/bin/") + program, arguments, &output);
    if (ok)
        *ok = status == 0;
    return output;
}

QStringList PdfReadback::files(const QString& folder)
{
    QStringList result;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name))
        result.append(dir.filePath(name));
    return result;
}

int PdfReadback::pages(const QString& pdf)
{
    bool ok = false;
    const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {pdf}, &ok));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption).match(info);
    return ok && m.hasMatch() ? m.captured(1).toInt() : -1;
}

QStringList PdfReadback::pageTexts(const QString& pdf)
{
    QStringList pages =
        QString::fromUtf8(run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}))
            .split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QStringList PdfReadback::barcodes(const QString& pdf, int page, const QList<double>& cutsX, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    const QString number = QString::number(page);
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"), QStringLiteral("-singlefile"),
         QStringLiteral("-f"), number, QStringLiteral("-l"), number, pdf, prefix});
    const QImage image(prefix + QStringLiteral(".pgm"));
    if (image.isNull())
        return {QStringLiteral("<page non rendue>")};
    QList<int> edges{0};
    for (double cut : cutsX)
        edges.append(qRound(cut * dpi / 72));
    edges.append(image.width());
    QStringList strips{QStringLiteral("-q"), QStringLiteral("--raw"), QStringLiteral("-Sdisable"),
                       QStringLiteral("-Scode39.enable")};
    for (qsizetype i = 0; i + 1 < edges.size(); ++i) {
        const QString strip = dir.filePath(QStringLiteral("strip%1.pgm").arg(i));
        image.copy(edges[i], 0, edges[i + 1] - edges[i], image.height()).save(strip);
        strips.append(strip);
    }
    QStringList codes =
        QString::fromUtf8(run(QStringLiteral("zbarimg"), strips)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    codes.sort();
    return codes;
}

QStringList PdfReadback::fonts(const QString& pdf)
{
    const QStringList lines = QString::fromUtf8(run(QStringLiteral("pdffonts"), {pdf})).split(QLatin1Char('\n'));
    QStringList names;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        QString name = lines[i].section(QLatin1Char(' '), 0, 0);
        name = name.mid(name.indexOf(QLatin1Char('+')) + 1);
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

QList<PdfReadback::Word> PdfReadback::words(const QString& pdf, int page)
{
    const QString number = QString::number(page);
    const QByteArray html = run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), number,
                                                              QStringLiteral("-l"), number, pdf, QStringLiteral("-")});
    QList<Word> words;
    QXmlStreamReader xml(html);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("word")) {
            Word w;
            w.left = xml.attributes().value(QLatin1String("xMin")).toDouble();
            w.top = xml.attributes().value(QLatin1String("yMin")).toDouble();
            w.right = xml.attributes().value(QLatin1String("xMax")).toDouble();
            w.bottom = xml.attributes().value(QLatin1String("yMax")).toDouble();
            w.text = xml.readElementText();
            words.append(w);
        }
    }
    return words;
}
