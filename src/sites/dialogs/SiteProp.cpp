#include "SiteProp.h"

#include "ProxyDlg.h"
#include "sites/SiteConnection.h"
#include "sites/SiteList.h"
#include "sites/SiteOptions.h"
#include "sites/SiteRecord.h"

#include "platform/Services.h"
#include "platform/qt/CaseFold.h"
#include "widgets/DialogProfile.h"
#include "widgets/InputHints.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace
{
QLineEdit* TextEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    // Every text field of a site record holds at most 95 characters.
    edit->setMaxLength(static_cast<int>(SiteRecord::MaxTextLength));
    return edit;
}

QCheckBox* CheckBox(QWidget* parent, const char* caption, const char* name)
{
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(name);
    return box;
}

const QString FtpPrefix = QStringLiteral("ftp://");

// The order of the Encryption list.
constexpr nsFTP::Encryption EncryptionChoices[] = {nsFTP::Encryption::Require, nsFTP::Encryption::Auto,
                                                   nsFTP::Encryption::Plain};
} // namespace

const char* CSiteProp::EncryptionCaption(nsFTP::Encryption encryption)
{
    switch (encryption)
    {
    case nsFTP::Encryption::Require:
        return "Require explicit FTP over TLS";
    case nsFTP::Encryption::Auto:
        return "Use explicit FTP over TLS if available";
    default:
        return "Only use plain FTP (insecure)";
    }
}

bool CSiteProp::ProxySendsPassword(int proxyMode)
{
    return proxyMode == 1 || proxyMode == 2 || proxyMode == 4 || proxyMode == 6 || proxyMode == 8;
}

CSiteProp::CSiteProp(CSiteConnection& connection, QWidget* parent)
    : QDialog(parent), m_connection(connection), m_labelEdit(TextEdit(this, "label")),
      m_hostEdit(TextEdit(this, "host")), m_portEdit(TextEdit(this, "port")),
      m_passiveCheck(
          CheckBox(this, CDialogProfile::IsHandheld() ? "Passive Mode" : "Use Passive Mode", "passive")),
      m_loginEdit(TextEdit(this, "login")), m_passwordEdit(TextEdit(this, "password")),
      m_anonymousCheck(CheckBox(this, "Anonymous", "anonymous")), m_timeoutEdit(TextEdit(this, "timeout")),
      m_directoryEdit(TextEdit(this, "directory")),
      m_keepAliveCheck(
          CheckBox(this, CDialogProfile::IsHandheld() ? "Keep Alive" : "Keep Connection Alive", "keepAlive")),
      m_parentList(new QComboBox(this)), m_encodingList(new QComboBox(this)),
      m_encryptionList(new QComboBox(this)), m_trustedLabel(new QLabel(this)),
      m_forgetButton(new QPushButton(QStringLiteral("Forget"), this)), m_proxyWarning(new QLabel(this))
{
    // The handheld's dialog bears the title of the manager it belongs to.
    setWindowTitle(CDialogProfile::IsHandheld() ? QStringLiteral("Site Manager")
                                                : QStringLiteral("Site Properties"));
    CDialogProfile::SetMinimumWidth(this, 340);
    for (QLineEdit* verbatim : {m_hostEdit, m_loginEdit, m_directoryEdit})
        CInputHints::Verbatim(verbatim);
    CInputHints::Secret(m_passwordEdit);
    CInputHints::Number(m_portEdit);
    CInputHints::Number(m_timeoutEdit);
    m_parentList->setObjectName("parentGroup");
    m_encodingList->setObjectName("encoding");
    // Its longest entry must not widen a small screen's dialog.
    m_encodingList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_encodingList->setMinimumContentsLength(8);
    // In the order of nsFTP::NameEncoding; the item data is the value.
    m_encodingList->addItem(QStringLiteral("Auto (UTF-8, else Latin-1)"),
                            static_cast<int>(nsFTP::NameEncoding::Auto));
    m_encodingList->addItem(QStringLiteral("UTF-8"), static_cast<int>(nsFTP::NameEncoding::Utf8));
    m_encodingList->addItem(QStringLiteral("Latin-1"), static_cast<int>(nsFTP::NameEncoding::Latin1));
    m_encodingList->setToolTip(
        QStringLiteral("How the server's file names are read and what you type is sent.\n"
                       "Auto: names that are valid UTF-8 read as UTF-8, others as Latin-1; typed text goes "
                       "out as UTF-8.\nLatin-1: for old servers whose names are not UTF-8."));

    auto* top = new QFormLayout;
    top->addRow(QStringLiteral("Site Label:"), m_labelEdit);

    auto* hostBox = new QGroupBox(QStringLiteral("FTP Host Address"), this);
    auto* hostForm = new QFormLayout(hostBox);
    hostForm->addRow(QStringLiteral("Host:"), m_hostEdit);
    hostForm->addRow(QStringLiteral("Port:"), m_portEdit);
    m_encryptionList->setObjectName("encryption");
    m_encryptionList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_encryptionList->setMinimumContentsLength(8);
    for (const nsFTP::Encryption choice : EncryptionChoices)
        m_encryptionList->addItem(QString::fromUtf8(EncryptionCaption(choice)), static_cast<int>(choice));
    hostForm->addRow(QStringLiteral("Encryption:"), m_encryptionList);
    // The certificate trusted for this site, when the user chose one.
    m_trustedLabel->setObjectName("trustedCertificate");
    m_trustedLabel->setWordWrap(true);
    m_trustedLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_forgetButton->setObjectName("forgetCertificate");
    m_forgetButton->setAutoDefault(false);
    connect(m_forgetButton, &QPushButton::clicked, this,
            [this]
            {
                m_trustedFingerprint.clear();
                ShowTrustedCertificate();
            });
    auto* trustedRow = new QHBoxLayout;
    trustedRow->addWidget(m_trustedLabel, 1);
    trustedRow->addWidget(m_forgetButton);
    hostForm->addRow(trustedRow);
    hostForm->addRow(m_passiveCheck);

    auto* loginBox = new QGroupBox(QStringLiteral("Login Information"), this);
    auto* loginForm = new QFormLayout(loginBox);
    loginForm->addRow(QStringLiteral("Login:"), m_loginEdit);
    loginForm->addRow(QStringLiteral("Password:"), m_passwordEdit);
    loginForm->addRow(m_anonymousCheck);

    auto* bottom = new QFormLayout;
    bottom->addRow(QStringLiteral("Timeout (sec):"), m_timeoutEdit);
    bottom->addRow(QStringLiteral("FTP Directory:"), m_directoryEdit);
    bottom->addRow(QStringLiteral("Encoding:"), m_encodingList);
    bottom->addRow(m_keepAliveCheck);
    bottom->addRow(QStringLiteral("Parent Group:"), m_parentList);

    auto* proxy = new QPushButton(QStringLiteral("Proxy..."), this);
    proxy->setObjectName("proxy");
    proxy->setAutoDefault(false);
    connect(proxy, &QPushButton::clicked, this, &CSiteProp::OnProxy);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    // A narrow screen has no room for the three in one row.
    auto* proxyRow = CDialogProfile::IsHandheld() ? new QHBoxLayout : row;
    proxyRow->addWidget(proxy);
    proxyRow->addStretch();
    row->addWidget(buttons);

    m_proxyWarning->setObjectName("proxyWarning");
    m_proxyWarning->setWordWrap(true);

    auto* layout = new QVBoxLayout(CDialogProfile::Page(this));
    layout->addLayout(top);
    layout->addWidget(hostBox);
    layout->addWidget(loginBox);
    layout->addLayout(bottom);
    layout->addWidget(m_proxyWarning);
    if (proxyRow != row)
        layout->addLayout(proxyRow);
    layout->addLayout(row);
}

void CSiteProp::LoadOptions(const SiteOptions& options)
{
    m_encryption = options.Encryption();
    m_trustedFingerprint = options.TrustedFingerprint();
    m_encoding = options.Encoding();
}

void CSiteProp::StoreOptions(SiteOptions& options) const
{
    options.SetEncryption(m_encryption);
    options.SetTrustedFingerprint(m_trustedFingerprint);
    options.SetEncoding(m_encoding);
}

void CSiteProp::ShowProxyWarning()
{
    m_proxyWarning->setText(
        QStringLiteral("This proxy type logs on to the proxy with the proxy password. It is "
                       "encrypted only if the proxy itself accepts AUTH TLS; otherwise it goes "
                       "over the network in the clear."));
    m_proxyWarning->setVisible(ProxySendsPassword(m_proxyMode));
}

void CSiteProp::ShowTrustedCertificate()
{
    m_trustedLabel->setText(QStringLiteral("Trusted certificate (SHA-256): ") +
                            QString::fromStdString(m_trustedFingerprint));
    m_trustedLabel->setVisible(!m_trustedFingerprint.empty());
    m_forgetButton->setVisible(!m_trustedFingerprint.empty());
}

void CSiteProp::Load(const SiteRecord& site)
{
    m_label = site.Label();
    m_host = site.Host();
    m_port = site.Port();
    m_passive = site.Passive() != 0;
    m_login = site.Login();
    m_password = site.Password();
    m_anonymous = site.Anonymous() != 0;
    m_timeout = site.Timeout();
    m_directory = site.Directory();
    m_keepAlive = site.KeepAlive() != 0;
    m_parentGroupId = site.ParentGroupId();
    m_proxyMode = site.ProxyMode();
    m_proxyHost = site.ProxyHost();
    m_proxyPort = site.ProxyPort();
    m_proxyUser = site.ProxyUser();
    m_proxyPassword = site.ProxyPassword();
}

void CSiteProp::Store(SiteRecord& site) const
{
    site.SetLabel(m_label);
    site.SetHost(m_host);
    site.SetPort(m_port);
    site.SetPassive(m_passive ? 1 : 0);
    site.SetLogin(m_login);
    site.SetPassword(m_password);
    site.SetAnonymous(m_anonymous ? 1 : 0);
    site.SetTimeout(m_timeout);
    site.SetDirectory(m_directory);
    site.SetKeepAlive(m_keepAlive ? 1 : 0);
    site.SetParentGroupId(m_parentGroupId);
    site.SetProxyMode(m_proxyMode);
    site.SetProxyHost(m_proxyHost);
    site.SetProxyPort(m_proxyPort);
    site.SetProxyUser(m_proxyUser);
    site.SetProxyPassword(m_proxyPassword);
}

bool CSiteProp::ReadInteger(QLineEdit* edit, long long minimum, long long maximum, int& value)
{
    bool ok = false;
    const long long number = edit->text().trimmed().toLongLong(&ok, 10);
    if (ok && number >= minimum && number <= maximum)
    {
        value = static_cast<int>(number);
        return true;
    }
    if (ok && (minimum > INT_MIN || maximum < INT_MAX))
        platform::Services::ShowError(L"Please enter an integer between " + std::to_wstring(minimum) +
                                      L" and " + std::to_wstring(maximum) + L".");
    else
        platform::Services::ShowError(L"Please enter an integer.");
    edit->setFocus();
    edit->selectAll();
    return false;
}

void CSiteProp::showEvent(QShowEvent* event)
{
    m_labelEdit->setText(QString::fromStdWString(m_label));
    m_hostEdit->setText(QString::fromStdWString(m_host));
    m_portEdit->setText(QString::number(m_port));
    m_passiveCheck->setChecked(m_passive);
    m_loginEdit->setText(QString::fromStdWString(m_login));
    m_passwordEdit->setText(QString::fromStdWString(m_password));
    m_anonymousCheck->setChecked(m_anonymous);
    m_timeoutEdit->setText(QString::number(m_timeout));
    m_directoryEdit->setText(QString::fromStdWString(m_directory));
    m_keepAliveCheck->setChecked(m_keepAlive);
    m_encodingList->setCurrentIndex(std::max(0, m_encodingList->findData(static_cast<int>(m_encoding))));
    m_encryptionList->setCurrentIndex(m_encryptionList->findData(static_cast<int>(m_encryption)));
    ShowTrustedCertificate();
    ShowProxyWarning();

    m_parentList->clear();
    m_parentList->addItem(QStringLiteral("No Parent Group"), -1);
    m_parentList->setCurrentIndex(0);
    for (const SiteRecord& record : m_connection.Sites().Sites())
    {
        if (!record.IsGroup())
            continue;
        m_parentList->addItem(QString::fromStdWString(record.Label()), record.GroupId());
        if (record.GroupId() == m_parentGroupId)
            m_parentList->setCurrentIndex(m_parentList->count() - 1);
    }
    m_oldLabel = m_label;
    m_labelEdit->setFocus();
    QDialog::showEvent(event);
}

void CSiteProp::accept()
{
    int port = 0;
    int timeout = 0;
    if (!ReadInteger(m_portEdit, INT_MIN, INT_MAX, port) ||
        !ReadInteger(m_timeoutEdit, INT_MIN, INT_MAX, timeout))
        return;

    const std::wstring label = m_labelEdit->text().toStdWString();
    if (label.empty())
    {
        platform::Services::ShowError(L"The site label cannot be empty.");
        m_labelEdit->setFocus();
        return;
    }
    if (!CSiteList::SameLabel(label, m_oldLabel) && m_connection.Sites().FindSite(label))
    {
        platform::Services::ShowError(L"A site or group with this label already exists.");
        m_labelEdit->setFocus();
        m_labelEdit->selectAll();
        return;
    }

    QString host = m_hostEdit->text();
    if (platform::CaseFold::StartsWith(host.toStdWString(), FtpPrefix.toStdWString()))
    {
        host.remove(0, FtpPrefix.size());
        m_hostEdit->setText(host);
    }

    m_label = label;
    m_host = host.toStdWString();
    m_port = port;
    m_passive = m_passiveCheck->isChecked();
    m_login = m_loginEdit->text().toStdWString();
    m_password = m_passwordEdit->text().toStdWString();
    m_anonymous = m_anonymousCheck->isChecked();
    m_timeout = timeout;
    m_directory = m_directoryEdit->text().toStdWString();
    m_keepAlive = m_keepAliveCheck->isChecked();
    m_parentGroupId = m_parentList->currentData().toInt();
    m_encoding = static_cast<nsFTP::NameEncoding>(m_encodingList->currentData().toInt());
    m_encryption = static_cast<nsFTP::Encryption>(m_encryptionList->currentData().toInt());
    QDialog::accept();
}

void CSiteProp::OnProxy()
{
    CProxyDlg proxy(this);
    proxy.m_mode = m_proxyMode;
    proxy.m_host = m_proxyHost;
    proxy.m_port = m_proxyPort;
    proxy.m_user = m_proxyUser;
    proxy.m_password = m_proxyPassword;
    if (proxy.exec() != QDialog::Accepted)
        return;
    m_proxyMode = proxy.m_mode;
    m_proxyHost = proxy.m_host;
    m_proxyPort = proxy.m_port;
    m_proxyUser = proxy.m_user;
    m_proxyPassword = proxy.m_password;
    ShowProxyWarning();
}
