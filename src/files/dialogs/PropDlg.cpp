#include "PropDlg.h"

#include "files/RemotePath.h"
#include "platform/gui/FileIcons.h"
#include "widgets/BrowserListModel.h"
#include "widgets/DialogProfile.h"
#include "widgets/StaticEx.h"

#include <QCheckBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace
{
// Texts from a server are shown as they are, never as markup.
QLabel* Plain(const std::wstring& text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromStdWString(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

CPropDlg::CPropDlg(const FileProperties& properties, QWidget* parent)
    : QDialog(parent), m_icon(new CStaticEx(this)), m_name(Plain(properties.name, this)),
      m_path(Plain(properties.path, this)), m_size(Plain(properties.sizeText, this)),
      m_modified(new QLabel(CBrowserListModel::TimeText(properties.modified), this)),
      m_attributesLabel(new QLabel(QStringLiteral("Attributes:"), this)),
      m_attributes(Plain(properties.attributes, this)),
      m_ownerLabel(new QLabel(QStringLiteral("Owner:"), this)), m_owner(Plain(properties.owner, this)),
      m_readOnly(new QCheckBox(QStringLiteral("Read Only"), this)),
      m_hidden(new QCheckBox(QStringLiteral("Hidden"), this)),
      m_system(new QCheckBox(QStringLiteral("System"), this))
{
    const bool handheld = CDialogProfile::IsHandheld();
    setWindowTitle(handheld ? QStringLiteral("File Properties") : QStringLiteral("Properties"));
    // A server's entry by its kind and name alone; a local one as the file is.
    if (properties.local)
        m_icon->SetIcon(QFileIconProvider().icon(
            QFileInfo(QString::fromStdWString(RemotePath::Join(properties.path, properties.name)))));
    else
        m_icon->SetIcon(
            platform::FileIcons::For(properties.isDirectory, QString::fromStdWString(properties.name)));
    QFont bold = m_name->font();
    bold.setBold(true);
    m_name->setFont(bold);
    // A narrow screen breaks long lines at their blanks rather than cut them.
    for (QLabel* text : {m_name, m_path, m_size, m_modified, m_attributes, m_owner})
        text->setWordWrap(handheld);
    m_readOnly->setChecked(properties.readOnly);
    m_hidden->setChecked(properties.hidden);
    m_system->setChecked(properties.system);

    auto* layout = new QGridLayout(CDialogProfile::Page(this));
    layout->addWidget(m_icon, 0, 0, Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(m_name, 0, 1);
    int row = 1;
    const std::pair<const char*, QLabel*> lines[] = {
        {"Path:", m_path}, {"Size:", m_size}, {"Modified:", m_modified}};
    for (const auto& [caption, text] : lines)
    {
        layout->addWidget(new QLabel(QString::fromLatin1(caption), this), row, 0);
        layout->addWidget(text, row++, 1);
    }
    layout->addWidget(m_attributesLabel, row, 0);
    layout->addWidget(m_attributes, row++, 1);
    layout->addWidget(m_ownerLabel, row, 0);
    layout->addWidget(m_owner, row++, 1);
    for (QCheckBox* box : {m_readOnly, m_hidden, m_system})
    {
        // Shown, not applied.
        box->setEnabled(false);
        layout->addWidget(box, row++, 1);
    }
    layout->setColumnStretch(1, 1);
    for (QWidget* part : {static_cast<QWidget*>(m_attributesLabel), static_cast<QWidget*>(m_attributes),
                          static_cast<QWidget*>(m_ownerLabel), static_cast<QWidget*>(m_owner)})
        part->setVisible(!properties.local);
    for (QWidget* part : {m_readOnly, m_hidden, m_system})
        part->setVisible(properties.local);
    // A handheld's title bar closed the dialog with its OK; here the dialog has one.
    if (handheld)
    {
        m_ok = new QPushButton(QStringLiteral("OK"), this);
        m_ok->setDefault(true);
        connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
        layout->addWidget(m_ok, row, 0, 1, 2, Qt::AlignRight);
    }
    CDialogProfile::SetMinimumWidth(this, 300);
}

QString CPropDlg::NameText() const
{
    return m_name->text();
}
QString CPropDlg::PathText() const
{
    return m_path->text();
}
QString CPropDlg::SizeText() const
{
    return m_size->text();
}
QString CPropDlg::ModifiedText() const
{
    return m_modified->text();
}
QString CPropDlg::AttributesText() const
{
    return m_attributes->text();
}
QString CPropDlg::OwnerText() const
{
    return m_owner->text();
}
