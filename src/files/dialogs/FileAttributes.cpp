#include "FileAttributes.h"

#include "files/FileMode.h"
#include "files/RemoteCommands.h"
#include "platform/Services.h"
#include "widgets/DialogProfile.h"
#include "widgets/InputHints.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CFileAttributes::CFileAttributes(int preset, QWidget* parent)
    : QDialog(parent), m_manual(new QLineEdit(this)), m_special(preset & 07000)
{
    const bool handheld = CDialogProfile::IsHandheld();
    setWindowTitle(handheld ? QStringLiteral("File Attributes")
                            : QStringLiteral("Change File(s) Attributes"));
    // Side by side on the desktop; on a narrow screen one above the other,
    // each group's boxes in a row.
    QBoxLayout* groups = handheld ? static_cast<QBoxLayout*>(new QVBoxLayout) : new QHBoxLayout;
    const char* const captions[3] = {"Owner Permissions", "Group Permissions", "Public Permissions"};
    const char* const rights[3] = {"Read", "Write", "Execute"};
    for (int who = 0; who < 3; ++who)
    {
        auto* group = new QGroupBox(QString::fromLatin1(captions[who]), this);
        QBoxLayout* column =
            handheld ? static_cast<QBoxLayout*>(new QHBoxLayout(group)) : new QVBoxLayout(group);
        for (int right = 0; right < 3; ++right)
        {
            auto* box = new QCheckBox(QString::fromLatin1(rights[right]), group);
            // Owner read is 0400, public execute 01.
            box->setChecked((preset & (04 >> right) << (2 - who) * 3) != 0);
            connect(box, &QCheckBox::clicked, this, &CFileAttributes::BoxesToValue);
            column->addWidget(box);
            m_boxes[who * 3 + right] = box;
        }
        groups->addWidget(group);
    }
    auto* manual = new QHBoxLayout;
    auto* manualLabel = new QLabel(QStringLiteral("Manual value:"), this);
    manualLabel->setBuddy(m_manual);
    m_manual->setMaxLength(16);
    CInputHints::Number(m_manual);
    manual->addWidget(manualLabel);
    manual->addWidget(m_manual);
    auto* note = new QLabel(
        QStringLiteral("Note: This command is server dependant. It is mostly used by UNIX servers."), this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CFileAttributes::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(CDialogProfile::Page(this));
    layout->addLayout(groups);
    layout->addLayout(manual);
    layout->addWidget(note);
    layout->addWidget(buttons);
    BoxesToValue();
}

void CFileAttributes::BoxesToValue()
{
    int mode = m_special;
    for (int who = 0; who < 3; ++who)
        for (int right = 0; right < 3; ++right)
            if (m_boxes[who * 3 + right]->isChecked())
                mode |= (04 >> right) << (2 - who) * 3;
    m_manual->setText(QString::fromStdWString(CFileMode::Text(mode)));
}

void CFileAttributes::accept()
{
    const std::wstring value = CFileMode::Parse(m_manual->text().toStdWString());
    if (value.empty())
    {
        // The dialog stays open, so the value can be put right.
        platform::Services::ShowError(CRemoteCommands::BadModeText);
        m_manual->setFocus();
        m_manual->selectAll();
        return;
    }
    m_value = value;
    QDialog::accept();
}
