// The attributes and properties dialogs of the file commands, as real widgets.
#include "files/RemoteCommands.h"
#include "files/dialogs/FileAttributes.h"
#include "files/dialogs/PropDlg.h"
#include "support/TestServices.h"
#include "widgets/BrowserListModel.h"
#include "widgets/StaticEx.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using testing_support::Boxes;

namespace
{
QString Value(const CFileAttributes& dialog)
{
    return dialog.ManualValue()->text();
}

void PressOk(CFileAttributes& dialog)
{
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}
} // namespace

TEST(FileAttributes, TheBoxesWriteTheValueAndOkTakesOnlyAMode)
{
    CFileAttributes dialog;
    EXPECT_EQ(dialog.windowTitle(), "Change File(s) Attributes");
    EXPECT_EQ(Value(dialog), "644");
    // Owner execute, then every box cleared, then every box set.
    QTest::mouseClick(dialog.Box(0, 2), Qt::LeftButton);
    EXPECT_EQ(Value(dialog), "744");
    for (int box = 0; box < 9; ++box)
        if (dialog.Box(box / 3, box % 3)->isChecked())
            dialog.Box(box / 3, box % 3)->click();
    EXPECT_EQ(Value(dialog), "000");
    for (int box = 0; box < 9; ++box)
        dialog.Box(box / 3, box % 3)->click();
    EXPECT_EQ(Value(dialog), "777");

    // A typed value that is more than a mode keeps the dialog open with a message.
    dialog.show();
    dialog.ManualValue()->setText("644 /etc/passwd");
    PressOk(dialog);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Boxes().Texts(), (std::vector<std::wstring>{CRemoteCommands::BadModeText}));
    dialog.ManualValue()->setText(" 1777 ");
    PressOk(dialog);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Value(), L"1777");
}

TEST(FileAttributes, APresetSetsTheBoxesAndKeepsItsSpecialBits)
{
    CFileAttributes folder(0751);
    EXPECT_EQ(Value(folder), "751");
    const bool expected[9] = {true, true, true, true, false, true, false, false, true};
    for (int box = 0; box < 9; ++box)
        EXPECT_EQ(folder.Box(box / 3, box % 3)->isChecked(), expected[box]) << box;

    CFileAttributes shared(01777);
    EXPECT_EQ(Value(shared), "1777");
    shared.Box(2, 1)->click();
    EXPECT_EQ(Value(shared), "1775");
}

TEST(PropDlg, AServersEntryShowsItsTextsAndNoBoxesALocalOneTheReverse)
{
    FileProperties remote;
    remote.isDirectory = true;
    remote.name = L"docs <b>";
    remote.path = L"/pub";
    remote.sizeText = L"4.00 Kb (4096 bytes)";
    remote.modified = 1700000000;
    remote.attributes = L"drwxr-xr-x";
    remote.owner = L"ftp";
    CPropDlg dialog(remote);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Properties");
    EXPECT_EQ(dialog.NameText(), "docs <b>");
    EXPECT_EQ(dialog.PathText(), "/pub");
    EXPECT_EQ(dialog.SizeText(), "4.00 Kb (4096 bytes)");
    // The same text as the list's Time column.
    EXPECT_EQ(dialog.ModifiedText(), CBrowserListModel::TimeText(remote.modified));
    EXPECT_EQ(dialog.AttributesText(), "drwxr-xr-x");
    EXPECT_EQ(dialog.OwnerText(), "ftp");
    EXPECT_FALSE(dialog.IconControl()->Icon().isNull());
    EXPECT_TRUE(dialog.AttributesLabel()->isVisible());
    EXPECT_TRUE(dialog.OwnerLabel()->isVisible());
    for (QCheckBox* box : {dialog.ReadOnlyBox(), dialog.HiddenBox(), dialog.SystemBox()})
        EXPECT_FALSE(box->isVisible());
    EXPECT_TRUE(dialog.findChildren<QPushButton*>().isEmpty());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());

    FileProperties local;
    local.local = true;
    local.name = L"notes.txt";
    local.path = L"/tmp";
    local.readOnly = true;
    CPropDlg localDialog(local);
    localDialog.show();
    EXPECT_FALSE(localDialog.AttributesLabel()->isVisible());
    EXPECT_FALSE(localDialog.OwnerLabel()->isVisible());
    EXPECT_TRUE(localDialog.ReadOnlyBox()->isVisible());
    EXPECT_TRUE(localDialog.ReadOnlyBox()->isChecked());
    EXPECT_FALSE(localDialog.HiddenBox()->isChecked());
    EXPECT_EQ(localDialog.ModifiedText(), "");
}
