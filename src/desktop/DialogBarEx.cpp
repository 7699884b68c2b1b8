#include "DialogBarEx.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CDialogBarEx::CDialogBarEx(QWidget* parent)
    : QToolBar("Filter", parent), m_text(new QLineEdit(this)), m_show(new QComboBox(this)),
      m_type(new QComboBox(this)), m_hide(new QPushButton("Hide", this))
{
    setObjectName("Filter");
    setContentsMargins(1, 1, 1, 1);
    auto* label = new QLabel("Filter:", this);
    label->setBuddy(m_text);
    m_text->setClearButtonEnabled(true);
    // The text takes the room the bar has, so Hide keeps to its right end.
    m_text->setMinimumWidth(60);
    m_text->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_show->addItems({"Show Files and Directories", "Show Only Files", "Show Only Directories"});
    m_show->setCurrentIndex(0);
    m_type->addItem("Show All Types");
    m_type->setCurrentIndex(0);
    // The types come from the server's names: a long one must not push Hide
    // off the bar.
    m_type->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_type->setMinimumContentsLength(9);
    m_type->setMaxVisibleItems(20);

    addWidget(label);
    addWidget(m_text);
    addWidget(m_show);
    addWidget(m_type);
    addWidget(m_hide);

    connect(m_text, &QLineEdit::textChanged, this, &CDialogBarEx::Changed);
    connect(m_show, &QComboBox::currentIndexChanged, this, &CDialogBarEx::Changed);
    connect(m_type, &QComboBox::currentIndexChanged, this, &CDialogBarEx::Changed);
    connect(m_hide, &QPushButton::clicked, this, &CDialogBarEx::HideRequested);
}

BrowserFilter CDialogBarEx::Filter() const
{
    BrowserFilter filter;
    filter.text = m_text->text().toStdWString();
    filter.show = m_show->currentIndex() < 0 ? BrowserFilter::FilesAndFolders : m_show->currentIndex();
    if (m_type->currentIndex() > 0)
        filter.type = m_type->currentText().toStdWString();
    return filter;
}

void CDialogBarEx::SetTypes(const std::vector<std::wstring>& types)
{
    if (m_type->currentIndex() > 0)
        return;
    const QSignalBlocker quiet(m_type);
    while (m_type->count() > 1)
        m_type->removeItem(m_type->count() - 1);
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(types.size()));
    for (const auto& type : types)
        entries.push_back(QString::fromStdWString(type));
    m_type->addItems(entries);
}
