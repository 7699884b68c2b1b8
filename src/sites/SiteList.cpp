#include "SiteList.h"

#include "platform/ISettingsStore.h"
#include "platform/Services.h"
#include "platform/qt/CaseFold.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <set>

using platform::ChangeResult;
using platform::ISettingsStore;

namespace
{

const std::wstring DuplicateLabel = L"A site with this label already exists.";

// The record stored under that name, unscrambled. A value that is not a whole
// record is marked unreadable: a short one would leave fields at defaults and
// a shifted one would put wrong bytes in every field after the damage.
bool ReadRecord(ISettingsStore& values, const std::wstring& name, SiteRecord& record)
{
    std::vector<std::uint8_t> data;
    const platform::ReadResult read = values.ReadBinary(CSiteList::SitesKey, name, data, SiteRecord::Size);
    if (read == platform::ReadResult::Ok && data.size() == SiteRecord::Size)
    {
        for (std::size_t i = 0; i < data.size(); ++i)
            record.Data()[i] = data[i] ^ SiteRecord::Mask;
        return true;
    }
    if (read != platform::ReadResult::Missing)
        values.MarkUnreadable(CSiteList::SitesKey, name);
    return false;
}

void WriteRecord(ISettingsStore& values, const std::wstring& name, const SiteRecord& record)
{
    std::vector<std::uint8_t> data(record.Bytes().begin(), record.Bytes().end());
    SiteRecord::Scramble(data.data(), data.size());
    values.WriteBinary(CSiteList::SitesKey, name, data);
}

// The options stored under that name; defaults when there are none or they
// cannot be read (which marks them).
SiteOptions ReadOptions(ISettingsStore& values, const std::wstring& name)
{
    std::vector<std::uint8_t> data;
    SiteOptions options;
    const platform::ReadResult read =
        values.ReadBinary(CSiteList::OptionsKey, name, data, SiteOptions::MaxStoredSize);
    if (read == platform::ReadResult::Missing ||
        (read == platform::ReadResult::Ok && SiteOptions::Decode(data, options)))
        return options;
    values.MarkUnreadable(CSiteList::OptionsKey, name);
    return {};
}

void WriteOptions(ISettingsStore& values, const std::wstring& name, const SiteOptions& options)
{
    if (options.Empty())
        values.DeleteValue(CSiteList::OptionsKey, name);
    else
        values.WriteBinary(CSiteList::OptionsKey, name, options.Encode());
}

// A record as it is stored, under its name.
struct StoredSite
{
    std::wstring name;
    SiteRecord record;
};

// The names stored under spellings of label, the exact one first.
std::vector<std::wstring> SpellingsOf(ISettingsStore& values, const std::wstring& label)
{
    std::vector<std::wstring> names;
    for (const std::wstring& name : values.ValueNames(CSiteList::SitesKey))
        if (CSiteList::SameLabel(name, label))
            names.insert(name == label ? names.begin() : names.end(), name);
    return names;
}

// The readable stored site of that label, if any.
std::optional<StoredSite> FindStored(ISettingsStore& values, const std::wstring& label)
{
    for (const std::wstring& name : SpellingsOf(values, label))
    {
        StoredSite site{name, {}};
        if (ReadRecord(values, name, site.record))
            return site;
    }
    return std::nullopt;
}

// Every readable stored record; only changes that involve groups need them all.
std::vector<SiteRecord> ReadAll(ISettingsStore& values)
{
    std::vector<SiteRecord> records;
    for (const std::wstring& name : values.ValueNames(CSiteList::SitesKey))
    {
        SiteRecord record;
        if (ReadRecord(values, name, record))
            records.push_back(record);
    }
    return records;
}

// Drops the readable records stored under other spellings of name, with their
// options, as one label names one value whatever its case.
void DropOtherSpellings(ISettingsStore& values, const std::wstring& name)
{
    for (const std::wstring& other : SpellingsOf(values, name))
    {
        SiteRecord record;
        if (other != name && ReadRecord(values, other, record))
        {
            values.DeleteValue(CSiteList::SitesKey, other);
            values.DeleteValue(CSiteList::OptionsKey, other);
        }
    }
}

} // namespace

bool CSiteList::SameLabel(const std::wstring& a, const std::wstring& b)
{
    return platform::CaseFold::Equal(a, b);
}

platform::ISettingsStore& CSiteList::Store() const
{
    return m_store ? *m_store : platform::Services::Settings();
}

bool CSiteList::Saved(const ChangeResult& result)
{
    if (result.status != ChangeResult::Failed)
        return true;
    platform::Services::ShowError(result.error);
    return false;
}

bool CSiteList::LoadSites()
{
    std::vector<SiteRecord> sites;
    std::vector<SiteOptions> options;
    m_damage = Store().Read(
        [&](ISettingsStore& values)
        {
            for (const std::wstring& name : values.ValueNames(SitesKey))
            {
                SiteRecord record;
                if (!ReadRecord(values, name, record))
                    continue;
                sites.push_back(record);
                options.push_back(ReadOptions(values, name));
            }
        });
    m_sites = std::move(sites);
    m_options = std::move(options);
    return !m_damage.Any();
}

void CSiteList::TellDamageOnce()
{
    const std::wstring what = m_damage.copy.empty() ? std::to_wstring(m_damage.fingerprint) : m_damage.copy;
    if (m_damage.Any() && m_told.insert(what).second)
        platform::Services::ShowError(m_damage.Text());
}

void CSiteList::Clear()
{
    m_sites.clear();
    m_options.clear();
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

const SiteOptions* CSiteList::OptionsAt(int index) const
{
    if (index < 0 || index >= Count())
        return nullptr;
    return &m_options[static_cast<std::size_t>(index)];
}

int CSiteList::AddSite(const SiteRecord& record, const SiteOptions& options)
{
    if (FindIndex(record.Label()) >= 0)
    {
        platform::Services::ShowError(DuplicateLabel);
        return -1;
    }
    const std::wstring label = record.Label();
    SiteRecord added = record;
    bool duplicate = false;
    const ChangeResult result = Store().Change(
        [&](ISettingsStore& values)
        {
            added = record;
            // Unreadable values count too: a new site must not overwrite them.
            duplicate = !SpellingsOf(values, label).empty();
            if (duplicate)
                return false;
            if (added.IsGroup())
            {
                std::vector<SiteRecord> groups = ReadAll(values);
                const bool taken =
                    std::any_of(groups.begin(), groups.end(),
                                [&](const SiteRecord& other)
                                { return other.IsGroup() && other.GroupId() == added.GroupId(); });
                groups.insert(groups.end(), m_sites.begin(), m_sites.end());
                if (taken)
                    added.SetGroupId(NextGroupNumber(groups));
            }
            WriteRecord(values, label, added);
            WriteOptions(values, label, options);
            return true;
        });
    if (duplicate)
        platform::Services::ShowError(DuplicateLabel);
    if (duplicate || !Saved(result))
        return -1;
    m_sites.push_back(added);
    m_options.push_back(options);
    return Count() - 1;
}

bool CSiteList::SaveSite(const std::wstring& label)
{
    const int index = FindIndex(label);
    if (index < 0)
        return false;
    const SiteRecord record = m_sites[static_cast<std::size_t>(index)];
    return Saved(Store().Change(
        [&](ISettingsStore& values)
        {
            // Options stored under another spelling come along.
            const std::optional<StoredSite> before = FindStored(values, label);
            if (before && before->name != label)
            {
                std::vector<std::uint8_t> data;
                if (values.ReadBinary(OptionsKey, before->name, data, SiteOptions::MaxStoredSize) ==
                    platform::ReadResult::Ok)
                    values.WriteBinary(OptionsKey, label, data);
            }
            WriteRecord(values, label, record);
            DropOtherSpellings(values, label);
            return true;
        }));
}

bool CSiteList::UpdateSite(const std::wstring& oldLabel, const SiteRecord& before, const SiteRecord& after)
{
    const int index = FindIndex(oldLabel);
    if (index < 0)
        return false;
    const SiteOptions& options = m_options[static_cast<std::size_t>(index)];
    return UpdateSite(oldLabel, before, after, options, options);
}

bool CSiteList::UpdateSite(const std::wstring& oldLabel, const SiteRecord& before, const SiteRecord& after,
                           const SiteOptions& optionsBefore, const SiteOptions& optionsAfter)
{
    const int index = FindIndex(oldLabel);
    if (index < 0)
        return false;
    // Nothing changed, nothing to save: not even a site removed meanwhile comes back.
    if (before == after && optionsBefore == optionsAfter)
        return true;
    SiteRecord merged;
    SiteOptions options;
    bool duplicate = false;
    const ChangeResult result = Store().Change(
        [&](ISettingsStore& values)
        {
            const std::optional<StoredSite> current = FindStored(values, oldLabel);
            // A site removed meanwhile is stored again: the user edited it.
            merged = current ? current->record : before;
            SiteRecord::MergeEdit(before, after, merged);
            const std::wstring name = merged.Label();
            // Any other value of that name stays, readable or not.
            duplicate = !(current && SameLabel(name, current->name)) && !SpellingsOf(values, name).empty();
            if (duplicate)
                return false;
            // The options go with the site, read before its old name goes.
            options =
                current ? ReadOptions(values, current->name) : m_options[static_cast<std::size_t>(index)];
            SiteOptions::MergeEdit(optionsBefore, optionsAfter, options);
            if (current && current->name != name)
            {
                values.DeleteValue(SitesKey, current->name);
                values.DeleteValue(OptionsKey, current->name);
            }
            WriteRecord(values, name, merged);
            WriteOptions(values, name, options);
            DropOtherSpellings(values, name);
            return true;
        });
    if (duplicate)
        platform::Services::ShowError(DuplicateLabel);
    if (duplicate || !Saved(result))
        return false;
    m_sites[static_cast<std::size_t>(index)] = merged;
    m_options[static_cast<std::size_t>(index)] = options;
    return true;
}

bool CSiteList::RemoveSite(const std::wstring& label, bool alsoFromList)
{
    bool holdsSites = false;
    const ChangeResult result = Store().Change(
        [&](ISettingsStore& values)
        {
            const std::optional<StoredSite> found = FindStored(values, label);
            if (found && found->record.IsGroup())
            {
                const std::vector<SiteRecord> all = ReadAll(values);
                holdsSites =
                    std::any_of(all.begin(), all.end(),
                                [&](const SiteRecord& site) {
                                    return !site.IsGroup() && site.ParentGroupId() == found->record.GroupId();
                                });
            }
            if (holdsSites)
                return false;
            bool removed = false;
            for (const std::wstring& name : SpellingsOf(values, label))
            {
                SiteRecord record;
                if (!ReadRecord(values, name, record))
                    continue;
                values.DeleteValue(SitesKey, name);
                values.DeleteValue(OptionsKey, name);
                removed = true;
            }
            // Nothing stored any more: nothing to write.
            return removed;
        });
    if (holdsSites)
        platform::Services::ShowError(L"The group is not empty.");
    if (holdsSites || !Saved(result))
        return false;
    if (alsoFromList)
    {
        const int index = FindIndex(label);
        if (index >= 0)
        {
            m_sites.erase(m_sites.begin() + index);
            m_options.erase(m_options.begin() + index);
        }
    }
    return true;
}

bool CSiteList::SetOptions(const std::wstring& label, const SiteOptions& options)
{
    bool stored = false;
    const ChangeResult result = Store().Change(
        [&](ISettingsStore& values)
        {
            const std::optional<StoredSite> site = FindStored(values, label);
            stored = site.has_value();
            if (site)
                WriteOptions(values, site->name, options);
            return stored;
        });
    if (!Saved(result) || !stored)
        return false;
    const int index = FindIndex(label);
    if (index >= 0)
        m_options[static_cast<std::size_t>(index)] = options;
    return true;
}

int CSiteList::NextGroupNumber(const std::vector<SiteRecord>& records)
{
    // Group numbers come from the settings file, so they may be anything:
    // the answer is always a valid group number (0 or more) not in use.
    bool any = false;
    int largest = -1;
    std::set<int> used;
    for (const SiteRecord& record : records)
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
