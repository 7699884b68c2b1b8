#pragma once
#include <QDialog>

// "About Tessel FTP Client": the icon, the version line and OK.
class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
