// make-manual: builds ftp.html (with its pictures in ftp-images/) and ftp.pdf
// from the Markdown user manual. Run at build time.
#include "ManualBuilder.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>

namespace
{
int Usage()
{
    std::fputs("usage: make-manual [--images DIR] [--drop-image NAME]... MANUAL.md OUTPUT-DIR\n", stderr);
    return 2;
}

int Fail(const QString& text)
{
    std::fprintf(stderr, "make-manual: %s\n", qPrintable(text));
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    // A build step needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    QString images;
    QStringList dropped;
    QStringList positional;
    const QStringList args = application.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i)
    {
        if (args[i] == "--images" && i + 1 < args.size())
            images = args[++i];
        else if (args[i] == "--drop-image" && i + 1 < args.size())
            dropped << args[++i];
        else if (args[i].startsWith("--"))
            return Usage();
        else
            positional << args[i];
    }
    if (positional.size() != 2)
        return Usage();
    const QString manual = positional[0];
    const QDir output(positional[1]);
    if (images.isEmpty())
        images = QFileInfo(manual).absolutePath();

    CManualBuilder builder;
    if (!builder.Load(manual, images))
        return Fail(builder.Error());
    for (const QString& name : dropped)
        builder.DropImage(name);
    // A picture that is not there is an error, never a silent gap.
    const QStringList missing = builder.MissingImages();
    for (const QString& name : missing)
        std::fprintf(stderr, "make-manual: missing picture %s (looked in %s)\n", qPrintable(name),
                     qPrintable(QDir(images).absolutePath()));
    if (!missing.isEmpty())
        return 1;
    if (!output.mkpath("."))
        return Fail("cannot create " + output.path());
    if (!builder.WriteHtml(output.filePath("ftp.html")) || !builder.WritePdf(output.filePath("ftp.pdf")))
        return Fail(builder.Error());
    return 0;
}
