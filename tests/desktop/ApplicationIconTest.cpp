// wharf's window icon comes from the SVG compiled into the desktop library; a
// resource the linker dropped or a renderer that failed leaves a blank icon.
#include "desktop/WharfApp.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ApplicationIcon, WharfShowsTheDrawnIconAtEverySize)
{
    QTemporaryDir settings;
    ASSERT_TRUE(settings.isValid());
    CWharfApp wharf(settings.filePath("FTPClient.ini"));
    ASSERT_TRUE(wharf.InitInstance(false));

    const QIcon icon = QGuiApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 48, 256})
    {
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        // Rounded corners stay clear; the middle is painted.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size * 3 / 4)), 255) << size;
    }
}
