#include "platform/gui/QtMessageBoxes.h"
#include "platform/gui/QtCertificatePrompt.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <atomic>
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

// A worker's certificate question waits on the interface thread for the
// user: the box names the host, the problems and the fingerprint, and only
// "Trust this certificate" trusts (Cancel is the default, Esc cancels).
TEST(QtCertificatePrompt, AWorkersQuestionIsAnsweredByTheTrustButtonOnly)
{
    platform::QtCertificatePrompt prompt;
    platform::CertificateQuestion question;
    question.host = L"ftp.example";
    question.subject = L"CN=<b>ftp.example</b>";
    question.fingerprint = L"AB:CD:EF";
    question.problems = {L"The certificate is self-signed: no authority this system trusts vouches for it."};
    for (const bool clickTrust : {true, false})
    {
        QString text;
        bool defaultIsCancel = false;
        QTimer answer;
        answer.setInterval(10);
        QObject::connect(&answer, &QTimer::timeout,
                         [&]
                         {
                             auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                             if (!box)
                                 return;
                             text = box->text();
                             defaultIsCancel = box->defaultButton() == box->button(QMessageBox::Cancel);
                             if (clickTrust)
                                 box->findChild<QPushButton*>("trust")->click();
                             else
                                 QTest::keyClick(box, Qt::Key_Escape);
                         });
        answer.start();
        bool trusted = !clickTrust;
        std::atomic<bool> done = false;
        std::thread worker(
            [&]
            {
                trusted = prompt.TrustCertificate(question);
                done = true;
            });
        while (!done)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        worker.join();
        EXPECT_EQ(trusted, clickTrust);
        EXPECT_TRUE(defaultIsCancel);
        EXPECT_TRUE(text.contains("ftp.example") && text.contains("AB:CD:EF") &&
                    text.contains("self-signed"));
        EXPECT_TRUE(text.contains("<b>")) << "shown as it came";
    }
}
