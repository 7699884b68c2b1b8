#pragma once
#include "SiteRecord.h"

#include <string>
#include <vector>

namespace platform
{
class ISettingsStore;
}

// The saved sites and groups, in the order the store listed them followed by
// those added since, and their storage: one binary value per record under
// the Sites key, named by the label, the bytes scrambled. Every change is
// written at once. The site connection holds one and forwards to it.
// Pointers handed out stay valid until the list next changes.
class CSiteList
{
public:
    static constexpr const wchar_t* SitesKey = L"Software\\FTPClient\\Sites";

    // Works on the process-wide settings store, looked up at each call.
    CSiteList() = default;
    explicit CSiteList(platform::ISettingsStore& store) : m_store(&store) {}

    // Replaces the list by the stored records. A value shorter than a record
    // fills its start and keeps the defaults in the rest; a longer one, or
    // one that is not binary, is skipped and left in the store.
    void LoadSites();

    // First record whose label equals the text, ignoring case; none otherwise.
    SiteRecord* FindSite(const std::wstring& label);
    const SiteRecord* FindSite(const std::wstring& label) const;
    int FindIndex(const std::wstring& label) const;
    // None for an index outside the list.
    SiteRecord* SiteAt(int index);
    const SiteRecord* SiteAt(int index) const;

    // Appends a copy and stores it; returns its index. A label already in the
    // list (ignoring case) is refused with an error box and -1.
    int AddSite(const SiteRecord& record);
    // Stores the record with that label under the name given; nothing when
    // there is no such record.
    void SaveSite(const std::wstring& label);
    // Deletes the stored value of that name; with alsoFromList, first drops
    // the first record with that label from the list.
    void RemoveSite(const std::wstring& label, bool alsoFromList);

    // One more than the largest group number, 0 without groups.
    int NextGroupNumber() const;

    int Count() const { return static_cast<int>(m_sites.size()); }
    const std::vector<SiteRecord>& Sites() const { return m_sites; }
    void Clear() { m_sites.clear(); }

    // Labels are compared with Unicode case folding.
    static bool SameLabel(const std::wstring& a, const std::wstring& b);

private:
    platform::ISettingsStore& Store() const;
    // Drops stored names that equal the label ignoring case but are spelt
    // otherwise, as the label names one value whatever its case.
    void DeleteOtherSpellings(const std::wstring& label, bool includingExact);

    platform::ISettingsStore* m_store = nullptr;
    std::vector<SiteRecord> m_sites;
};
