#include "SiteList.h"

#include "platform/ISettingsStore.h"
#include "platform/Services.h"
#include "platform/qt/CaseFold.h"

#include <algorithm>
#include <climits>
#include <set>

bool CSiteList::SameLabel(const std::wstring& a, const std::wstring& b)
{
    return platform::CaseFold::Equal(a, b);
}

platform::ISettingsStore& CSiteList::Store() const
{
    return m_store ? *m_store : platform::Services::Settings();
}

void CSiteList::LoadSites()
{
    m_sites.clear();
    auto& store = Store();
    if (!store.OpenKey(SitesKey, true))
        return;
    std::vector<std::uint8_t> data;
    for (const std::wstring& name : store.ValueNames(SitesKey))
    {
        if (store.ReadBinary(SitesKey, name, data, SiteRecord::Size) != platform::ReadResult::Ok)
            continue;
        SiteRecord record;
        for (std::size_t i = 0; i < data.size(); ++i)
            record.Data()[i] = data[i] ^ SiteRecord::Mask;
        m_sites.push_back(record);
    }
}

int CSiteList::FindIndex(const std::wstring& label) const
{
    for (std::size_t i = 0; i < m_sites.size(); ++i)
        if (SameLabel(m_sites[i].Label(), label))
            return static_cast<int>(i);
    return -1;
}

SiteRecord* CSiteList::FindSite(const std::wstring& label)
{
    return SiteAt(FindIndex(label));
}

const SiteRecord* CSiteList::FindSite(const std::wstring& label) const
{
    return SiteAt(FindIndex(label));
}

SiteRecord* CSiteList::SiteAt(int index)
{
    if (index < 0 || index >= Count())
        return nullptr;
    return &m_sites[static_cast<std::size_t>(index)];
}

const SiteRecord* CSiteList::SiteAt(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return &m_sites[static_cast<std::size_t>(index)];
}

int CSiteList::AddSite(const SiteRecord& record)
{
    if (FindIndex(record.Label()) >= 0)
    {
        platform::Services::ShowError(L"A site with this label already exists.");
        return -1;
    }
    m_sites.push_back(record);
    SaveSite(record.Label());
    return Count() - 1;
}

void CSiteList::SaveSite(const std::wstring& label)
{
    const SiteRecord* record = FindSite(label);
    if (!record)
        return;
    auto& store = Store();
    if (!store.OpenKey(SitesKey, true))
        return;
    std::vector<std::uint8_t> data(record->Bytes().begin(), record->Bytes().end());
    SiteRecord::Scramble(data.data(), data.size());
    // Written before the other spellings go, so a crash in between loses nothing.
    if (store.WriteBinary(SitesKey, label, data))
        DeleteOtherSpellings(label, false);
}

void CSiteList::RemoveSite(const std::wstring& label, bool alsoFromList)
{
    if (alsoFromList)
    {
        const int index = FindIndex(label);
        if (index >= 0)
            m_sites.erase(m_sites.begin() + index);
    }
    if (!Store().OpenKey(SitesKey, true))
        return;
    DeleteOtherSpellings(label, true);
}

void CSiteList::DeleteOtherSpellings(const std::wstring& label, bool includingExact)
{
    auto& store = Store();
    for (const std::wstring& name : store.ValueNames(SitesKey))
        if ((includingExact || name != label) && SameLabel(name, label))
            store.DeleteValue(SitesKey, name);
}

int CSiteList::NextGroupNumber() const
{
    // Group numbers come from the settings file, so they may be anything:
    // the answer is always a valid group number (0 or more) not in use.
    bool any = false;
    int largest = -1;
    std::set<int> used;
    for (const SiteRecord& record : m_sites)
    {
        if (!record.IsGroup())
            continue;
        any = true;
        largest = std::max(largest, record.GroupId());
        used.insert(record.GroupId());
    }
    if (!any || largest < 0)
        return 0;
    if (largest < INT_MAX)
        return largest + 1;
    int free = 0;
    while (used.count(free))
        ++free;
    return free;
}
