#pragma once
#include <QString>
#include <QStringList>
#include <QTextDocument>

// Turns the user manual, kept as Markdown, into the two help documents that
// ship beside wharf: a complete HTML file whose pictures sit in a folder next
// to it, and an A4 PDF with page numbers.
class CManualBuilder
{
public:
    // The folder of the HTML's pictures, beside the HTML file.
    static constexpr const char* ImageFolder = "ftp-images";

    // Reads the Markdown; its pictures are looked up by file name in
    // imageFolder. False (with Error()) when the text cannot be read.
    bool Load(const QString& markdownPath, const QString& imageFolder);
    // Takes out every picture of that name, with the paragraph it stands in
    // when nothing else is there.
    void DropImage(const QString& name);
    // The pictures that the text names and that cannot be read, each once.
    QStringList MissingImages() const;

    // Both write a new file and replace the old one only when it is complete.
    bool WriteHtml(const QString& htmlPath);
    bool WritePdf(const QString& pdfPath);

    const QString& Error() const { return m_error; }
    QTextDocument& Document() { return m_document; }

private:
    // Every picture name the text holds, in order of appearance.
    QStringList ImageNames() const;
    // The picture file for a name; empty when the name is no plain file name.
    QString ImagePath(const QString& name) const;

    QTextDocument m_document;
    QString m_imageFolder;
    QString m_error;
};
