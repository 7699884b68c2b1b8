#include "AboutDlg.h"

#include "DialogProfile.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About Tessel FTP Client");
    auto* icon = new QLabel(this);
    const QIcon appIcon = QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_DriveNetIcon)
                                                              : QApplication::windowIcon();
    icon->setPixmap(appIcon.pixmap(32, 32));
    auto* text = new QLabel("Tessel FTP Client v4.1", this);
    text->setWordWrap(CDialogProfile::IsHandheld());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(CDialogProfile::Page(this));
    layout->addLayout(row);
    layout->addWidget(buttons);
    if (!CDialogProfile::IsHandheld())
        setFixedSize(sizeHint());
}
