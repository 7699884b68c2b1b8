#include "widgets/TextDlg.h"
#include "widgets/StaticEx.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace
{
// Runs the dialog modally and lets `act` drive it once it shows.
int RunWith(CTextDlg& dialog, std::function<void(CTextDlg&)> act)
{
    QTimer::singleShot(0, &dialog, [&] { act(dialog); });
    return dialog.exec();
}
} // namespace

TEST(TextDlg, ShowsTitleAndPresetAndKeepsTypedBlanksOnOk)
{
    CTextDlg dialog(L"New Group", L"preset");
    const int result = RunWith(dialog,
                               [](CTextDlg& d)
                               {
                                   EXPECT_EQ(d.windowTitle(), "New Group");
                                   EXPECT_EQ(d.Edit()->text(), "preset");
                                   d.Edit()->clear();
                                   QTest::keyClicks(d.Edit(), "  two words  ");
                                   QTest::keyClick(d.Edit(), Qt::Key_Return);
                               });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.m_text, L"  two words  ");
}

TEST(TextDlg, CancelAndEscapeKeepThePreset)
{
    CTextDlg dialog(L"Enter Path", L"/pub");
    int result = RunWith(dialog,
                         [](CTextDlg& d)
                         {
                             QTest::keyClicks(d.Edit(), "changed");
                             d.reject();
                         });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dialog.m_text, L"/pub");

    result = RunWith(dialog,
                     [](CTextDlg& d)
                     {
                         QTest::keyClicks(d.Edit(), "x");
                         QTest::keyClick(d.Edit(), Qt::Key_Escape);
                     });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(dialog.m_text, L"/pub");
}

TEST(TextDlg, MembersChangedBeforeOpeningAreShownAndTheLimitHolds)
{
    CTextDlg dialog(L"", L"");
    dialog.m_title = L"Set Temp Directory";
    dialog.m_text = L"/tmp/t\u00E9";
    dialog.SetMaxLength(5);
    RunWith(dialog,
            [](CTextDlg& d)
            {
                EXPECT_EQ(d.windowTitle(), "Set Temp Directory");
                d.Edit()->setText("123456789");
                d.accept();
            });
    EXPECT_EQ(dialog.m_text, L"12345");
}

TEST(StaticEx, PaintsItsIconAtTheTopLeftOnTheButtonFace)
{
    CStaticEx control;
    const int size = CStaticEx::IconSize();
    EXPECT_EQ(control.size(), QSize(size, size));
    QPixmap red(size, size);
    red.fill(Qt::red);
    control.SetIcon(QIcon(red));
    QImage image = control.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(Qt::red));

    control.SetIcon(QIcon());
    image = control.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(0, 0)), control.palette().color(QPalette::Button));
}
