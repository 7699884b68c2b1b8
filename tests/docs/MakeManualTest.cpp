// make-manual run as the build runs it: Markdown in, ftp.html with its
// picture folder and ftp.pdf out, and a clear refusal when a picture is missing.
#include "support/ProcessRunner.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
using testing_support::ProcessResult;
using testing_support::ProcessRunner;

class MakeManual : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_work.isValid());
        QDir(m_work.path()).mkpath("images");
    }

    QString Path(const QString& relative) const { return m_work.filePath(relative); }
    void Write(const QString& relative, const QByteArray& content)
    {
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray Read(const QString& relative) const
    {
        QFile file(Path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void Picture(const QString& relative, int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(200, 40, 40));
        ASSERT_TRUE(image.save(Path(relative), "PNG"));
    }
    ProcessResult Run(std::vector<std::string> options = {})
    {
        std::vector<std::string> args = {TESSEL_MAKE_MANUAL, "--images", Path("images").toStdString()};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(Path("manual.md").toStdString());
        args.push_back(Path("out").toStdString());
        return ProcessRunner::Run(args, "",
                                  {{"QT_QPA_PLATFORM", "offscreen"}, {"ASAN_OPTIONS", "detect_leaks=0"}});
    }
    static int Pages(const QByteArray& pdf)
    {
        return static_cast<int>(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "));
    }

    QTemporaryDir m_work;
};

TEST_F(MakeManual, HeadingListAndPictureReachBothDocuments)
{
    QByteArray text = "# Guide Title\n\nSome *words* first.\n\n- first item\n- second item\n\n"
                      "![A red picture](red.png)\n\n## Long part\n\n";
    // Enough text for several A4 pages.
    for (int i = 0; i < 150; ++i)
        text += "Paragraph " + QByteArray::number(i) + " of the long part, with a few words in it.\n\n";
    Write("manual.md", text);
    Picture("images/red.png", 40, 30);

    const ProcessResult result = Run();
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const QString html = QString::fromUtf8(Read("out/ftp.html"));
    EXPECT_TRUE(html.startsWith("<!DOCTYPE")) << html.left(80).toStdString();
    EXPECT_TRUE(html.contains("<title>Guide Title</title>"));
    EXPECT_TRUE(html.contains(QRegularExpression("<h1[^>]*>.*Guide Title")));
    EXPECT_TRUE(html.contains(QRegularExpression("<li[^>]*>.*first item")));
    EXPECT_TRUE(html.contains(QRegularExpression("<li[^>]*>.*second item")));
    EXPECT_TRUE(html.contains("<img src=\"ftp-images/red.png\"")) << html.toStdString();
    const QImage copied(Path("out/ftp-images/red.png"));
    EXPECT_EQ(copied.size(), QSize(40, 30));

    const QByteArray pdf = Read("out/ftp.pdf");
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_TRUE(pdf.trimmed().endsWith("%%EOF"));
    EXPECT_GE(Pages(pdf), 3);
    EXPECT_TRUE(pdf.contains("/Subtype /Image")) << "the picture did not reach the PDF";
}

TEST_F(MakeManual, MissingPicturesAreNamedAndNothingIsWritten)
{
    Write("manual.md", "# Guide\n\n![here](here.png)\n\n![gone](gone.png)\n\n![outside](../outside.png)\n");
    Picture("images/here.png", 10, 10);
    // Beside the picture folder, so only a path that climbs out would find it.
    Picture("outside.png", 10, 10);

    const ProcessResult result = Run();
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("gone.png"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("../outside.png"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("here.png ("), std::string::npos) << result.err;
    EXPECT_FALSE(QFile::exists(Path("out/ftp.html")));
    EXPECT_FALSE(QFile::exists(Path("out/ftp.pdf")));

    // A file that is there but no picture counts as missing too.
    Write("images/gone.png", "not a picture");
    Write("manual.md", "# Guide\n\n![gone](gone.png)\n");
    EXPECT_NE(Run().exitCode, 0);
}

TEST_F(MakeManual, DroppedPictureLeavesTheTextAround)
{
    Write("manual.md", "# Guide\n\nBefore.\n\n![later](later.png)\n\nAfter.\n");

    const ProcessResult result = Run({"--drop-image", "later.png"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const QString html = QString::fromUtf8(Read("out/ftp.html"));
    EXPECT_FALSE(html.contains("<img"));
    EXPECT_TRUE(html.contains("Before.") && html.contains("After."));
}

TEST_F(MakeManual, PicturesOfAnEarlierRunDoNotLinger)
{
    Picture("images/old.png", 8, 8);
    Picture("images/new.png", 8, 8);
    Write("manual.md", "# Guide\n\n![old](old.png)\n");
    ASSERT_EQ(Run().exitCode, 0);
    Write("manual.md", "# Guide\n\n![new](new.png)\n");
    ASSERT_EQ(Run().exitCode, 0);

    EXPECT_EQ(QDir(Path("out/ftp-images")).entryList(QDir::Files), QStringList{"new.png"});
}
} // namespace
