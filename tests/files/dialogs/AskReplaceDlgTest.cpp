#include "files/dialogs/AskReplaceDlg.h"
#include "widgets/StaticEx.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

TEST(AskReplaceDlg, FileQuestionShowsNameTextsAndIcon)
{
    CAskReplaceDlg dialog(nullptr, false, L"a&b <i>.txt", L"1.50 Kb (1536 bytes)\r\n01/02/26 10:00:00",
                          L"(0 bytes)\r\n01/03/26 11:00:00");
    EXPECT_EQ(dialog.windowTitle(), "Confirm Replace");
    // Names are plain text: markup in a server's name is shown, not rendered.
    EXPECT_EQ(dialog.InformationText(),
              "The file \"a&b <i>.txt\" already exists. Would you like to replace it?");
    EXPECT_EQ(dialog.ServerText(), "1.50 Kb (1536 bytes)\n01/02/26 10:00:00");
    EXPECT_EQ(dialog.LocalText(), "(0 bytes)\n01/03/26 11:00:00");
    EXPECT_FALSE(dialog.IconControl()->Icon().isNull());
    QStringList labels;
    for (auto* label : dialog.findChildren<QLabel*>())
        labels << label->text();
    EXPECT_TRUE(labels.contains("On FTP Server:"));
    EXPECT_TRUE(labels.contains("On Local Computer:"));
}

TEST(AskReplaceDlg, FolderQuestionAndTheAnswers)
{
    CAskReplaceDlg dialog(nullptr, true, L"docs", L"", L"");
    EXPECT_EQ(dialog.InformationText(),
              "The directory \"docs\" already exists. Would you like to replace it?");
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    QTimer::singleShot(0, [&] { buttons->button(QDialogButtonBox::Ok)->click(); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    QTimer::singleShot(0, [&] { buttons->button(QDialogButtonBox::Cancel)->click(); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
}
