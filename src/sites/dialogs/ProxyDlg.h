#pragma once
#include <QDialog>
#include <string>

class QComboBox;
class QLineEdit;

// The FTP proxy settings of one site: the logon mode (0 for none, then the
// proxy logon sequences in their fixed order), host, port, user and password.
// The caller fills the members before and reads them after OK.
class CProxyDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ModeCount = 9;
    // The mode names, in the order of the mode numbers.
    static const wchar_t* ModeName(int mode);

    explicit CProxyDlg(QWidget* parent = nullptr);

    int m_mode = 0;
    std::wstring m_host;
    int m_port = 21;
    std::wstring m_user;
    std::wstring m_password;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* m_modeList;
    QLineEdit* m_hostEdit;
    QLineEdit* m_portEdit;
    QLineEdit* m_userEdit;
    QLineEdit* m_passwordEdit;
};
