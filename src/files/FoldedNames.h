#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Names given as the bytes they have on disk or on a server, looked up as
// people read them: without regard to case, with Unicode case folding. Two
// names that are both valid UTF-8 are compared as the text they spell;
// otherwise both are read as Latin-1. Every name is folded once, when it is
// added or looked up, so matching n names against m costs n + m folds, not
// n * m comparisons.
class CFoldedNames
{
public:
    using Fold = std::function<std::wstring(std::wstring_view)>;

    // Without a fold the platform's case folding is used.
    explicit CFoldedNames(Fold fold = {});

    // Names are numbered from 0 in the order they are added.
    void Add(const std::string& bytes);
    // The numbers of the added names equal to this one, in the order they were added.
    std::vector<std::size_t> Find(const std::string& bytes) const;

private:
    using Index = std::unordered_map<std::wstring, std::vector<std::size_t>>;
    static const std::vector<std::size_t>& At(const Index& index, const std::wstring& key);

    Fold m_fold;
    std::size_t m_count = 0;
    // Valid UTF-8 names by their folded text.
    Index m_text;
    // Names that are not valid UTF-8 by their folded Latin-1 reading, and every name so.
    Index m_latin1Only;
    Index m_latin1;
};
