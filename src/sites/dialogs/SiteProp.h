#pragma once
#include "ftp/Encryption.h"
#include "ftp/NameCodec.h"

#include <QDialog>
#include <string>

class CSiteConnection;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SiteOptions;
class SiteRecord;

// Edits one site. The caller fills the members before and reads them after OK;
// the site list of the connection gives the Parent Group choices and the
// labels a new label must not repeat.
class CSiteProp : public QDialog
{
    Q_OBJECT
public:
    explicit CSiteProp(CSiteConnection& connection, QWidget* parent = nullptr);

    // Copies the site's fields, proxy included, into the members and back.
    void Load(const SiteRecord& site);
    void Store(SiteRecord& site) const;
    // The options the dialog edits (encryption, the trusted certificate, the
    // encoding of names); other options pass through untouched.
    void LoadOptions(const SiteOptions& options);
    void StoreOptions(SiteOptions& options) const;
    // The Encryption entries, in the order of nsFTP::Encryption's choices as listed.
    static const char* EncryptionCaption(nsFTP::Encryption encryption);
    // Proxy types that log on to the proxy with its password, which goes in
    // the clear unless the proxy itself accepts AUTH TLS.
    static bool ProxySendsPassword(int proxyMode);

    // Reads a whole number within [minimum, maximum] from the edit; otherwise
    // tells the user, puts the focus on the edit and answers false.
    static bool ReadInteger(QLineEdit* edit, long long minimum, long long maximum, int& value);

    std::wstring m_label;
    std::wstring m_host;
    int m_port = 21;
    bool m_passive = true;
    std::wstring m_login;
    std::wstring m_password;
    bool m_anonymous = false;
    int m_timeout = 10;
    std::wstring m_directory;
    bool m_keepAlive = true;
    int m_parentGroupId = -1;
    // "Encoding:": how the site's names are read and typed text written.
    nsFTP::NameEncoding m_encoding = nsFTP::NameEncoding::Auto;
    // The label when the dialog opened; keeping it is no duplicate.
    std::wstring m_oldLabel;

    int m_proxyMode = 0;
    std::wstring m_proxyHost;
    int m_proxyPort = 21;
    std::wstring m_proxyUser;
    std::wstring m_proxyPassword;

    // New sites require TLS; a site stored before FTP over TLS loads as plain.
    nsFTP::Encryption m_encryption = nsFTP::Encryption::Require;
    // The certificate the user chose to trust; Forget empties it.
    std::string m_trustedFingerprint;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnProxy();
    void ShowProxyWarning();
    void ShowTrustedCertificate();

    CSiteConnection& m_connection;
    QLineEdit* m_labelEdit;
    QLineEdit* m_hostEdit;
    QLineEdit* m_portEdit;
    QCheckBox* m_passiveCheck;
    QLineEdit* m_loginEdit;
    QLineEdit* m_passwordEdit;
    QCheckBox* m_anonymousCheck;
    QLineEdit* m_timeoutEdit;
    QLineEdit* m_directoryEdit;
    QCheckBox* m_keepAliveCheck;
    QComboBox* m_parentList;
    QComboBox* m_encodingList;
    QComboBox* m_encryptionList;
    QLabel* m_trustedLabel;
    QPushButton* m_forgetButton;
    QLabel* m_proxyWarning;
};
