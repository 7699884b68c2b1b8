#include "ManualBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextImageFormat>
#include <QTextTable>
#include <functional>
#include <memory>

namespace
{
// Wider pictures are scaled down so that they fit the text width of an A4 page.
constexpr double MaxImageWidth = 620;

// Calls visit with a cursor over every picture of the document, last first, so
// that the visitor may change or remove the text it covers.
void ForEachImage(QTextDocument& document, const std::function<void(QTextCursor&, QTextImageFormat)>& visit)
{
    struct Found
    {
        int position;
        int length;
        QTextImageFormat format;
    };
    std::vector<Found> images;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
        {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid() && fragment.charFormat().isImageFormat())
                images.push_back(
                    {fragment.position(), fragment.length(), fragment.charFormat().toImageFormat()});
        }
    for (auto found = images.rbegin(); found != images.rend(); ++found)
    {
        QTextCursor cursor(&document);
        cursor.setPosition(found->position);
        cursor.setPosition(found->position + found->length, QTextCursor::KeepAnchor);
        visit(cursor, found->format);
    }
}

// The Markdown import sets headings flush against the text above them and
// tables without room in their cells; both documents read better with some.
void Tidy(QTextDocument& document)
{
    QFont font = document.defaultFont();
    font.setPointSize(10);
    document.setDefaultFont(font);
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
    {
        const int level = block.blockFormat().headingLevel();
        if (level == 0 || block == document.begin())
            continue;
        QTextBlockFormat format = block.blockFormat();
        format.setTopMargin(level <= 2 ? 18 : 10);
        format.setBottomMargin(4);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    std::function<void(QTextFrame*)> visit = [&](QTextFrame* frame)
    {
        for (QTextFrame* child : frame->childFrames())
        {
            if (auto* table = qobject_cast<QTextTable*>(child))
            {
                QTextTableFormat format = table->format();
                format.setCellPadding(3);
                format.setCellSpacing(0);
                format.setBorderCollapse(true);
                format.setBorder(0.5);
                table->setFormat(format);
            }
            visit(child);
        }
    };
    visit(document.rootFrame());
}

// Writes through a save file so that a failure leaves any old file in place.
bool Commit(QSaveFile& file, QString& error)
{
    if (file.commit())
        return true;
    error = "cannot write " + file.fileName() + ": " + file.errorString();
    return false;
}
} // namespace

bool CManualBuilder::Load(const QString& markdownPath, const QString& imageFolder)
{
    QFile file(markdownPath);
    if (!file.open(QIODevice::ReadOnly))
    {
        m_error = "cannot read " + markdownPath + ": " + file.errorString();
        return false;
    }
    m_imageFolder = imageFolder;
    m_document.setMarkdown(QString::fromUtf8(file.readAll()), QTextDocument::MarkdownDialectGitHub);
    Tidy(m_document);
    // The first line of the manual is its title.
    m_document.setMetaInformation(QTextDocument::DocumentTitle, m_document.begin().text().trimmed());
    return true;
}

void CManualBuilder::DropImage(const QString& name)
{
    ForEachImage(m_document,
                 [&](QTextCursor& cursor, const QTextImageFormat& format)
                 {
                     if (format.name() != name)
                         return;
                     cursor.removeSelectedText();
                     // A paragraph that held only the picture goes with it.
                     if (cursor.block().text().trimmed().isEmpty() && cursor.block().next().isValid())
                     {
                         cursor.select(QTextCursor::BlockUnderCursor);
                         cursor.removeSelectedText();
                     }
                 });
}

QStringList CManualBuilder::ImageNames() const
{
    QStringList names;
    for (QTextBlock block = m_document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                names << it.fragment().charFormat().toImageFormat().name();
    return names;
}

QString CManualBuilder::ImagePath(const QString& name) const
{
    // Pictures come from the one folder only: no paths, no URLs.
    if (name.isEmpty() || name != QFileInfo(name).fileName() || name == "." || name == ".." ||
        name.contains(u'\\') || name.contains(u':'))
        return {};
    return QDir(m_imageFolder).filePath(name);
}

QStringList CManualBuilder::MissingImages() const
{
    QStringList missing;
    for (const QString& name : ImageNames())
    {
        const QString path = ImagePath(name);
        if ((path.isEmpty() || !QImageReader(path).canRead()) && !missing.contains(name))
            missing << name;
    }
    return missing;
}

bool CManualBuilder::WriteHtml(const QString& htmlPath)
{
    const QDir target = QFileInfo(htmlPath).absoluteDir();
    // The folder is the manual's own: old pictures that the text no longer
    // names must not linger and be installed.
    QDir images(target.filePath(ImageFolder));
    if (images.exists() && !images.removeRecursively())
    {
        m_error = "cannot clear " + images.path();
        return false;
    }
    if (!target.mkpath(ImageFolder))
    {
        m_error = "cannot create " + images.path();
        return false;
    }
    std::unique_ptr<QTextDocument> copy(m_document.clone());
    bool copied = true;
    ForEachImage(*copy,
                 [&](QTextCursor& cursor, QTextImageFormat format)
                 {
                     const QString name = format.name();
                     const QString to = images.filePath(name);
                     if (!QFileInfo::exists(to) && !QFile::copy(ImagePath(name), to))
                     {
                         m_error = "cannot copy the picture " + name + " to " + images.path();
                         copied = false;
                     }
                     format.setName(QString(ImageFolder) + "/" + name);
                     cursor.setCharFormat(format);
                 });
    if (!copied)
        return false;

    QSaveFile file(htmlPath);
    if (!file.open(QIODevice::WriteOnly))
    {
        m_error = "cannot write " + htmlPath + ": " + file.errorString();
        return false;
    }
    file.write(copy->toHtml().toUtf8());
    return Commit(file, m_error);
}

bool CManualBuilder::WritePdf(const QString& pdfPath)
{
    std::unique_ptr<QTextDocument> copy(m_document.clone());
    ForEachImage(*copy,
                 [&](QTextCursor& cursor, QTextImageFormat format)
                 {
                     const QImage image(ImagePath(format.name()));
                     copy->addResource(QTextDocument::ImageResource, QUrl(format.name()), image);
                     if (image.width() > MaxImageWidth)
                     {
                         format.setWidth(MaxImageWidth);
                         format.setHeight(image.height() * MaxImageWidth / image.width());
                         cursor.setCharFormat(format);
                     }
                 });

    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly))
    {
        m_error = "cannot write " + pdfPath + ": " + file.errorString();
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        writer.setTitle(m_document.metaInformation(QTextDocument::DocumentTitle));
        writer.setCreator("Tessel FTP Client make-manual");
        // A document without a page size of its own is printed with page
        // numbers and margins of 2 cm.
        copy->print(&writer);
    }
    return Commit(file, m_error);
}
