#include "TextDlg.h"

#include "DialogProfile.h"
#include "InputHints.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CTextDlg::CTextDlg(std::wstring title, std::wstring text, QWidget* parent)
    : QDialog(parent), m_title(std::move(title)), m_text(std::move(text)), m_edit(new QLineEdit(this))
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(CDialogProfile::Page(this));
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    CDialogProfile::SetMinimumWidth(this, 280);
    m_edit->setMaxLength(32767);
    // Names, paths and labels: an on-screen keyboard must not capitalise them.
    CInputHints::Verbatim(m_edit);
}

void CTextDlg::SetMaxLength(int characters)
{
    m_edit->setMaxLength(characters > 0 ? characters : 32767);
}

void CTextDlg::showEvent(QShowEvent* event)
{
    // The members may have been changed after construction: take them now.
    m_edit->setText(QString::fromStdWString(m_text));
    m_edit->selectAll();
    m_edit->setFocus();
    setWindowTitle(QString::fromStdWString(m_title));
    QDialog::showEvent(event);
}

void CTextDlg::accept()
{
    m_text = m_edit->text().toStdWString();
    QDialog::accept();
}
