#include "platform/gui/QtMessageBoxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>
#include <thread>

// A server's text or a file name in a box is shown as it came, never read as
// markup, whether the box is shown on the interface thread or for a worker.
TEST(QtMessageBoxes, TextsAreShownAsPlainTextFromAnyThread)
{
    platform::QtMessageBoxes boxes;
    std::vector<Qt::TextFormat> formats;
    std::vector<QString> texts;
    // Answers the next box once it shows.
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout,
                     [&]
                     {
                         if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                         {
                             formats.push_back(box->textFormat());
                             texts.push_back(box->text());
                             box->accept();
                         }
                     });
    answer.start();
    boxes.Show(L"550 <b>not</b> here", platform::BoxIcon::Error, platform::BoxButtons::Ok);
    std::thread worker(
        [&] { boxes.Show(L"<a href=x>link</a>", platform::BoxIcon::Error, platform::BoxButtons::Ok); });
    while (texts.size() < 2)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    worker.join();
    EXPECT_EQ(formats, (std::vector<Qt::TextFormat>{Qt::PlainText, Qt::PlainText}));
    EXPECT_EQ(texts, (std::vector<QString>{"550 <b>not</b> here", "<a href=x>link</a>"}));
}
