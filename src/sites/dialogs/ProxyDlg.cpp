#include "ProxyDlg.h"

#include "SiteProp.h"
#include "sites/SiteRecord.h"
#include "widgets/DialogProfile.h"
#include "widgets/InputHints.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
const wchar_t* const ModeNames[CProxyDlg::ModeCount] = {
    L"No Proxy",
    L"SITE Hostname",
    L"USER After Logon",
    L"Proxy OPEN",
    L"Transparent",
    L"USER With no Logon",
    L"USER FireID@Host",
    L"USER RemoteID@Host FireID",
    L"USER RemoteID@FireID@Host",
};

QLineEdit* TextEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(static_cast<int>(SiteRecord::MaxTextLength));
    return edit;
}
} // namespace

const wchar_t* CProxyDlg::ModeName(int mode)
{
    return mode >= 0 && mode < ModeCount ? ModeNames[mode] : L"";
}

CProxyDlg::CProxyDlg(QWidget* parent)
    : QDialog(parent), m_modeList(new QComboBox(this)), m_hostEdit(TextEdit(this, "host")),
      m_portEdit(TextEdit(this, "port")), m_userEdit(TextEdit(this, "user")),
      m_passwordEdit(TextEdit(this, "password"))
{
    setWindowTitle(QStringLiteral("FTP Proxy Server Settings"));
    CDialogProfile::SetMinimumWidth(this, 300);
    m_modeList->setObjectName("mode");
    CInputHints::Verbatim(m_hostEdit);
    CInputHints::Verbatim(m_userEdit);
    CInputHints::Secret(m_passwordEdit);
    CInputHints::Number(m_portEdit);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Mode:"), m_modeList);
    form->addRow(QStringLiteral("Host"), m_hostEdit);
    form->addRow(QStringLiteral("Port"), m_portEdit);
    form->addRow(QStringLiteral("Username"), m_userEdit);
    form->addRow(QStringLiteral("Password"), m_passwordEdit);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(CDialogProfile::Page(this));
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CProxyDlg::showEvent(QShowEvent* event)
{
    m_modeList->clear();
    for (int mode = 0; mode < ModeCount; ++mode)
        m_modeList->addItem(QString::fromWCharArray(ModeNames[mode]));
    // A mode this program does not know (from an edited settings file) shows no
    // entry and is kept unless the user picks one.
    m_modeList->setCurrentIndex(m_mode >= 0 && m_mode < ModeCount ? m_mode : -1);
    m_hostEdit->setText(QString::fromStdWString(m_host));
    m_portEdit->setText(QString::number(m_port));
    m_userEdit->setText(QString::fromStdWString(m_user));
    m_passwordEdit->setText(QString::fromStdWString(m_password));
    QDialog::showEvent(event);
}

void CProxyDlg::accept()
{
    // The port is stored in 16 bits.
    int port = 0;
    if (!CSiteProp::ReadInteger(m_portEdit, 0, 65535, port))
        return;
    if (m_modeList->currentIndex() >= 0)
        m_mode = m_modeList->currentIndex();
    m_host = m_hostEdit->text().toStdWString();
    m_port = port;
    m_user = m_userEdit->text().toStdWString();
    m_password = m_passwordEdit->text().toStdWString();
    QDialog::accept();
}
