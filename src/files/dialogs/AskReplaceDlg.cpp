#include "AskReplaceDlg.h"

#include "platform/gui/FileIcons.h"
#include "widgets/DialogProfile.h"
#include "widgets/StaticEx.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace
{
QLabel* Bold(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

// The texts come with Windows line ends; a label wants plain ones.
QString Lines(const std::wstring& text)
{
    return QString::fromStdWString(text).replace("\r\n", "\n");
}
} // namespace

CAskReplaceDlg::CAskReplaceDlg(QWidget* owner, bool isDirectory, const std::wstring& name,
                               const std::wstring& serverText, const std::wstring& localText)
    : QDialog(owner), m_icon(new CStaticEx(this)), m_information(new QLabel(this)),
      m_server(new QLabel(Lines(serverText), this)), m_local(new QLabel(Lines(localText), this))
{
    const bool handheld = CDialogProfile::IsHandheld();
    setWindowTitle(handheld ? QStringLiteral("Files Exists") : QStringLiteral("Confirm Replace"));
    const QString qname = QString::fromStdWString(name);
    m_icon->SetIcon(platform::FileIcons::For(isDirectory, qname));
    m_information->setText(
        (isDirectory ? QStringLiteral("The directory \"%1\" already exists. Would you like to replace it?")
                     : QStringLiteral("The file \"%1\" already exists. Would you like to replace it?"))
            .arg(qname));
    m_information->setWordWrap(true);
    m_information->setTextFormat(Qt::PlainText);
    m_server->setTextFormat(Qt::PlainText);
    m_local->setTextFormat(Qt::PlainText);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QGridLayout(CDialogProfile::Page(this));
    layout->addWidget(m_icon, 0, 0, Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(m_information, 0, 1);
    layout->addWidget(
        Bold(handheld ? QStringLiteral("Remote File:") : QStringLiteral("On FTP Server:"), this), 1, 1);
    layout->addWidget(m_server, 2, 1);
    layout->addWidget(
        Bold(handheld ? QStringLiteral("Local File:") : QStringLiteral("On Local Computer:"), this), 3, 1);
    layout->addWidget(m_local, 4, 1);
    layout->addWidget(buttons, 5, 0, 1, 2);
    CDialogProfile::SetMinimumWidth(this, 360);
}

QString CAskReplaceDlg::InformationText() const
{
    return m_information->text();
}
QString CAskReplaceDlg::ServerText() const
{
    return m_server->text();
}
QString CAskReplaceDlg::LocalText() const
{
    return m_local->text();
}
