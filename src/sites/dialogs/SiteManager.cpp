#include "SiteManager.h"

#include "SiteProp.h"
#include "sites/SiteConnection.h"
#include "sites/SiteList.h"
#include "sites/SiteOptions.h"
#include "sites/SiteRecord.h"

#include "platform/Services.h"
#include "platform/qt/CaseFold.h"
#include "widgets/DialogProfile.h"
#include "widgets/EngineCall.h"
#include "widgets/TextDlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
const std::wstring DuplicateLabel = L"A site or group with this label already exists.";

QPushButton* Button(QWidget* parent, const char* caption, const char* name)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}
} // namespace

QIcon CSiteManager::GroupIcon()
{
    return QApplication::style()->standardIcon(QStyle::SP_DirIcon);
}

QIcon CSiteManager::SiteIcon()
{
    return QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon);
}

CSiteManager::CSiteManager(CSiteConnection& connection, QWidget* parent, CEngineCall* call)
    : QDialog(parent), m_connection(connection),
      m_ownCall(call ? nullptr : std::make_unique<CEngineCall>(connection)),
      m_call(call ? call : m_ownCall.get()), m_tree(new QTreeWidget(this)),
      m_connectButton(Button(this, "Connect", "connect")), m_newButton(Button(this, "New", "new")),
      m_editButton(Button(this, "Edit", "edit")), m_deleteButton(Button(this, "Delete", "delete")),
      m_waitText(new QLabel(this)), m_waitBar(new QProgressBar(this)),
      m_stopButton(Button(this, "Stop", "stop"))
{
    setWindowTitle(QStringLiteral("Site Manager"));

    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setDragEnabled(false);
    m_tree->setIconSize(QSize(16, 16));
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this] { OnConnect(); });

    m_connectButton->setDefault(true);
    QFont bold = m_connectButton->font();
    bold.setWeight(QFont::Bold);
    m_connectButton->setFont(bold);
    connect(m_connectButton, &QPushButton::clicked, this, &CSiteManager::OnConnect);
    connect(m_newButton, &QPushButton::clicked, this, &CSiteManager::OnNew);
    connect(m_editButton, &QPushButton::clicked, this, &CSiteManager::OnEdit);
    connect(m_deleteButton, &QPushButton::clicked, this, &CSiteManager::OnDelete);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_connectButton);
    buttons->addWidget(m_newButton);
    buttons->addWidget(m_editButton);
    buttons->addWidget(m_deleteButton);
    buttons->addStretch();
    auto* sites = new QHBoxLayout;
    sites->addWidget(m_tree, 1);
    sites->addLayout(buttons);
    // What the logon waits for, with Stop; hidden otherwise.
    m_waitText->setTextFormat(Qt::PlainText);
    m_waitBar->setRange(0, 0);
    m_waitBar->setTextVisible(false);
    m_waitBar->setMaximumWidth(80);
    connect(m_stopButton, &QPushButton::clicked, m_call, &CEngineCall::Stop);
    auto* wait = new QHBoxLayout;
    wait->addWidget(m_waitText, 1);
    wait->addWidget(m_waitBar);
    wait->addWidget(m_stopButton);
    auto* layout = new QVBoxLayout(CDialogProfile::Page(this));
    layout->addLayout(sites, 1);
    layout->addLayout(wait);
    ShowWait(false, {});
    connect(m_call, &CEngineCall::WaitShown, this, &CSiteManager::ShowWait);
    if (!CDialogProfile::IsHandheld())
        resize(420, 300);

    m_connection.Sites().LoadSites();
    FillTree();
    // What could not be read is still in the file and in a copy beside it.
    m_connection.Sites().TellDamageOnce();
}

bool CSiteManager::Run(CSiteConnection& connection, QWidget* parent, CEngineCall* call, std::wstring& title)
{
    CSiteManager manager(connection, parent, call);
    if (manager.exec() != QDialog::Accepted)
        return false;
    title = manager.ResultText();
    return true;
}

CSiteManager::~CSiteManager() = default;

void CSiteManager::accept()
{
    // Only a successful connect ends the dialog with OK.
    reject();
}

void CSiteManager::reject()
{
    if (m_call->Busy())
    {
        m_call->Stop();
        return;
    }
    QDialog::reject();
}

void CSiteManager::ShowWait(bool shown, const QString& what)
{
    m_waitText->setText(shown ? what + "..." : QString());
    for (QWidget* part : {static_cast<QWidget*>(m_waitText), static_cast<QWidget*>(m_waitBar),
                          static_cast<QWidget*>(m_stopButton)})
        part->setVisible(shown);
}

const SiteRecord* CSiteManager::RecordOf(const QTreeWidgetItem* item) const
{
    if (!item)
        return nullptr;
    bool ok = false;
    const int index = item->data(0, IndexRole).toInt(&ok);
    return ok ? m_connection.Sites().SiteAt(index) : nullptr;
}

QTreeWidgetItem* CSiteManager::SelectedItem() const
{
    const auto selected = m_tree->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

QTreeWidgetItem* CSiteManager::ParentItemFor(int parentGroupId) const
{
    if (parentGroupId == -1)
        return nullptr;
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
    {
        QTreeWidgetItem* item = m_tree->topLevelItem(i);
        const SiteRecord* record = RecordOf(item);
        if (record && record->IsGroup() && record->GroupId() == parentGroupId)
            return item;
    }
    return nullptr;
}

QTreeWidgetItem* CSiteManager::AddItem(QTreeWidgetItem* parent, const SiteRecord& record, int index)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdWString(record.Label()));
    item->setIcon(0, record.IsGroup() ? GroupIcon() : SiteIcon());
    item->setData(0, IndexRole, index);
    if (parent)
        parent->addChild(item);
    else
        m_tree->addTopLevelItem(item);
    return item;
}

void CSiteManager::Reveal(QTreeWidgetItem* item)
{
    if (item->parent())
        item->parent()->setExpanded(true);
    m_tree->scrollToItem(item);
    m_tree->setCurrentItem(item);
}

void CSiteManager::FillTree()
{
    m_tree->clear();
    const auto& sites = m_connection.Sites().Sites();
    for (int i = 0; i < static_cast<int>(sites.size()); ++i)
        if (sites[static_cast<size_t>(i)].IsGroup())
            AddItem(nullptr, sites[static_cast<size_t>(i)], i);
    for (int i = 0; i < static_cast<int>(sites.size()); ++i)
    {
        const SiteRecord& site = sites[static_cast<size_t>(i)];
        if (!site.IsGroup())
            AddItem(ParentItemFor(site.ParentGroupId()), site, i);
    }
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
        if (m_tree->topLevelItem(i)->childCount() > 0)
            SortChildren(m_tree->topLevelItem(i));
    SortChildren(m_tree->invisibleRootItem());
}

void CSiteManager::SortChildren(QTreeWidgetItem* parent)
{
    QList<QTreeWidgetItem*> children = parent->takeChildren();
    // Groups before sites, then by label ignoring case; an item without a
    // record goes first.
    std::stable_sort(children.begin(), children.end(),
                     [this](const QTreeWidgetItem* a, const QTreeWidgetItem* b)
                     {
                         const SiteRecord* first = RecordOf(a);
                         const SiteRecord* second = RecordOf(b);
                         if (!first || !second)
                             return !first && second;
                         if (first->IsGroup() != second->IsGroup())
                             return first->IsGroup();
                         return platform::CaseFold::Compare(first->Label(), second->Label()) < 0;
                     });
    parent->addChildren(children);
}

void CSiteManager::RenumberAfterRemoval(int removedIndex)
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
    {
        const int index = (*it)->data(0, IndexRole).toInt();
        if (index > removedIndex)
            (*it)->setData(0, IndexRole, index - 1);
    }
}

void CSiteManager::OnConnect()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item || m_call->Busy())
        return;
    const SiteRecord* found = m_connection.Sites().FindSite(item->text(0).toStdWString());
    if (!found || found->IsGroup())
        return;
    const SiteRecord site = *found;
    const SiteOptions* stored = m_connection.Sites().OptionsAt(m_connection.Sites().FindIndex(site.Label()));
    const SiteOptions options = stored ? *stored : SiteOptions();
    bool connected = false;
    m_connectButton->setEnabled(false);
    const bool ran = m_call->Run(L"Connecting to " + site.Host(),
                                 [&]
                                 {
                                     connected = m_connection.Connect(site, options, true);
                                     if (connected)
                                         m_connection.GoToInitialDirectory(site.Directory());
                                 });
    m_connectButton->setEnabled(true);
    if (!ran || !connected)
        return;
    m_resultText = site.Label() + L" (" + site.Host() + L":" + std::to_wstring(site.Port()) + L")";
    done(Accepted);
}

void CSiteManager::OnNew()
{
    QMenu menu(this);
    QAction* group = menu.addAction(QStringLiteral("New Group"));
    QAction* site = menu.addAction(QStringLiteral("New Site"));
    QAction* chosen = menu.exec(m_newButton->mapToGlobal(QPoint(0, m_newButton->height())));
    if (chosen == group)
        OnNewGroup();
    else if (chosen == site)
        OnNewSite();
}

void CSiteManager::OnNewGroup()
{
    CTextDlg prompt(L"New Group", L"", this);
    prompt.SetMaxLength(static_cast<int>(SiteRecord::MaxTextLength));
    if (prompt.exec() != QDialog::Accepted)
        return;
    CSiteList& sites = m_connection.Sites();
    // A nameless group could be neither told apart nor stored under a name.
    if (prompt.m_text.empty())
    {
        platform::Services::ShowError(L"The group label cannot be empty.");
        return;
    }
    if (sites.FindSite(prompt.m_text))
    {
        platform::Services::ShowError(DuplicateLabel);
        return;
    }
    SiteRecord record;
    record.SetLabel(prompt.m_text);
    record.SetGroupId(sites.NextGroupNumber());
    const int index = sites.AddSite(record);
    if (index < 0)
        return;
    QTreeWidgetItem* item = AddItem(nullptr, record, index);
    item->setExpanded(true);
    Reveal(item);
}

void CSiteManager::OnNewSite()
{
    CSiteProp properties(m_connection, this);
    if (properties.exec() != QDialog::Accepted)
        return;
    SiteRecord record;
    properties.Store(record);
    SiteOptions options = SiteOptions::ForNewSite();
    properties.StoreOptions(options);
    CSiteList& sites = m_connection.Sites();
    const int index = sites.AddSite(record, options);
    if (index < 0)
        return;
    Reveal(AddItem(ParentItemFor(record.ParentGroupId()), record, index));
}

void CSiteManager::OnEdit()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    SiteRecord* record = m_connection.Sites().FindSite(item->text(0).toStdWString());
    if (!record)
        return;
    if (record->IsGroup())
        EditGroup(item, *record);
    else
        EditSite(item, *record);
}

void CSiteManager::EditSite(QTreeWidgetItem* item, SiteRecord& record)
{
    const std::wstring oldText = item->text(0).toStdWString();
    const SiteOptions* listed = m_connection.Sites().OptionsAt(m_connection.Sites().FindIndex(oldText));
    const SiteOptions optionsBefore = listed ? *listed : SiteOptions();
    CSiteProp properties(m_connection, this);
    properties.Load(record);
    properties.LoadOptions(optionsBefore);
    if (properties.exec() != QDialog::Accepted)
        return;
    const int oldParent = record.ParentGroupId();
    const SiteRecord before = record;
    SiteRecord after = record;
    properties.Store(after);
    SiteOptions optionsAfter = optionsBefore;
    properties.StoreOptions(optionsAfter);
    // Written over what the file holds now, renamed in the same step, options
    // included; the listed record becomes what was stored.
    if (!m_connection.Sites().UpdateSite(oldText, before, after, optionsBefore, optionsAfter))
        return;

    item->setText(0, QString::fromStdWString(record.Label()));
    if (record.ParentGroupId() == oldParent)
        return;
    QTreeWidgetItem* from = item->parent() ? item->parent() : m_tree->invisibleRootItem();
    from->removeChild(item);
    QTreeWidgetItem* to = ParentItemFor(record.ParentGroupId());
    if (to)
        to->addChild(item);
    else
        m_tree->addTopLevelItem(item);
    Reveal(item);
}

void CSiteManager::EditGroup(QTreeWidgetItem* item, SiteRecord& record)
{
    const std::wstring oldText = item->text(0).toStdWString();
    CTextDlg prompt(L"New Group", record.Label(), this);
    prompt.SetMaxLength(static_cast<int>(SiteRecord::MaxTextLength));
    if (prompt.exec() != QDialog::Accepted)
        return;
    CSiteList& sites = m_connection.Sites();
    if (prompt.m_text.empty())
    {
        platform::Services::ShowError(L"The group label cannot be empty.");
        return;
    }
    if (!CSiteList::SameLabel(prompt.m_text, record.Label()) && sites.FindSite(prompt.m_text))
    {
        platform::Services::ShowError(DuplicateLabel);
        return;
    }
    const SiteRecord before = record;
    SiteRecord renamed = record;
    renamed.SetLabel(prompt.m_text);
    if (!sites.UpdateSite(oldText, before, renamed))
        return;
    item->setText(0, QString::fromStdWString(record.Label()));
}

void CSiteManager::OnDelete()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    const std::wstring label = item->text(0).toStdWString();
    CSiteList& sites = m_connection.Sites();
    const int index = sites.FindIndex(label);
    const SiteRecord* record = sites.SiteAt(index);
    if (!record)
        return;
    if (!record->IsGroup())
    {
        if (!platform::Services::AskOkCancel(
                L"Are you sure you want to delete the selected site from Site Manager?"))
            return;
    }
    else if (item->childCount() > 0)
    {
        platform::Services::ShowError(L"The group is not empty.");
        return;
    }
    else if (!platform::Services::AskOkCancel(L"Are you sure you want to delete the selected group?"))
        return;

    if (!sites.RemoveSite(label, true))
        return;
    delete item;
    RenumberAfterRemoval(index);
}
