#pragma once
#include "SiteOptions.h"
#include "SiteRecord.h"
#include "platform/StoreDamage.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace platform
{
class ISettingsStore;
struct ChangeResult;
} // namespace platform

// The saved sites and groups, in the order the store listed them followed by
// those added since, each with its options; and their storage: one binary
// value per record under the Sites key, named by the label, the bytes
// scrambled, and the options under the SiteOptions key by the same name.
//
// The list is what one program shows; the store is shared with other
// programs. Every change is one change of the store, applied to what the store
// holds at that moment and written at once: a site another program added
// meanwhile stays (the list shows it after the next load), one it removed is
// not brought back by a change of another site, and an edit keeps the fields
// others changed meanwhile. A change that cannot be saved is shown in an error
// box and leaves the list as it was. Pointers handed out stay valid until the
// list next changes.
class CSiteList
{
public:
    static constexpr const wchar_t* SitesKey = L"Software\\FTPClient\\Sites";
    static constexpr const wchar_t* OptionsKey = L"Software\\FTPClient\\SiteOptions";

    // Works on the process-wide settings store, looked up at each call.
    CSiteList() = default;
    explicit CSiteList(platform::ISettingsStore& store) : m_store(&store) {}

    // Replaces the list by the stored records, all from one reading. A value
    // that is not a whole record, or options that cannot be read, count as
    // damage: they are left out (the site then has default options) and left
    // in the store, and every readable entry is still used. False when there
    // was damage of any kind (see Damage).
    bool LoadSites();
    // What the last load could not read.
    const platform::StoreDamage& Damage() const { return m_damage; }
    // Shows the damage of the last load in an error box, unless this list
    // has shown that same damage (or damage kept in the same copy) before.
    void TellDamageOnce();

    // First record whose label equals the text, ignoring case; none otherwise.
    SiteRecord* FindSite(const std::wstring& label);
    const SiteRecord* FindSite(const std::wstring& label) const;
    int FindIndex(const std::wstring& label) const;
    // None for an index outside the list.
    SiteRecord* SiteAt(int index);
    const SiteRecord* SiteAt(int index) const;
    const SiteOptions* OptionsAt(int index) const;

    // Appends a copy and stores it with its options; returns its index. A
    // label already in the list or in the store (ignoring case) is refused
    // with an error box and -1. A group whose number another group took
    // meanwhile gets the next free one (SiteAt tells which).
    int AddSite(const SiteRecord& record, const SiteOptions& options = {});
    // Stores the record with that label under the name given, dropping the
    // other spellings of the name; false when there is no such record or the
    // save failed.
    bool SaveSite(const std::wstring& label);
    // One edit of the site listed as oldLabel, before and after as the user
    // saw them: the fields that differ are written over what the store holds
    // now, the others keep the stored values, and a new label renames the
    // stored value, options included, in the same change. A new label that
    // the store already has (another site's, ignoring case) is refused with
    // an error box. The listed record becomes the stored one. False when
    // nothing was stored.
    bool UpdateSite(const std::wstring& oldLabel, const SiteRecord& before, const SiteRecord& after);
    // The same edit with the site's options in the same change (Site
    // Properties edits both): the options that differ between before and
    // after are written over the stored ones (SiteOptions::MergeEdit).
    bool UpdateSite(const std::wstring& oldLabel, const SiteRecord& before, const SiteRecord& after,
                    const SiteOptions& optionsBefore, const SiteOptions& optionsAfter);
    // Deletes the stored value of that name (any spelling) and its options;
    // with alsoFromList, also drops the first record with that label from the
    // list. A group that holds sites in the store is refused with "The group
    // is not empty.". Values that cannot be read are left alone.
    bool RemoveSite(const std::wstring& label, bool alsoFromList);
    // Stores new options for the site with that label. False when the store
    // has no such site (nothing is stored then) or the save failed.
    bool SetOptions(const std::wstring& label, const SiteOptions& options);

    // One more than the largest group number, 0 without groups.
    int NextGroupNumber() const { return NextGroupNumber(m_sites); }
    static int NextGroupNumber(const std::vector<SiteRecord>& records);

    int Count() const { return static_cast<int>(m_sites.size()); }
    const std::vector<SiteRecord>& Sites() const { return m_sites; }
    void Clear();

    // Labels are compared with Unicode case folding.
    static bool SameLabel(const std::wstring& a, const std::wstring& b);

private:
    platform::ISettingsStore& Store() const;
    // False (with the error box) when the change failed.
    static bool Saved(const platform::ChangeResult& result);

    platform::ISettingsStore* m_store = nullptr;
    std::vector<SiteRecord> m_sites;
    // Beside m_sites, one for one.
    std::vector<SiteOptions> m_options;
    platform::StoreDamage m_damage;
    // The damage told: by its copy, or by its fingerprint without one.
    std::set<std::wstring> m_told;
};
