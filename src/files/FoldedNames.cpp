#include "FoldedNames.h"

#include "platform/TextCodec.h"
#include "platform/qt/CaseFold.h"

#include <algorithm>
#include <iterator>

using platform::TextCodec;

namespace
{
bool IsValidUtf8(const std::string& bytes)
{
    return TextCodec::IsUtf8(bytes);
}
} // namespace

CFoldedNames::CFoldedNames(Fold fold)
    : m_fold(fold ? std::move(fold)
                  : Fold([](std::wstring_view text) { return platform::CaseFold::Fold(text); }))
{
}

const std::vector<std::size_t>& CFoldedNames::At(const Index& index, const std::wstring& key)
{
    static const std::vector<std::size_t> none;
    const auto found = index.find(key);
    return found == index.end() ? none : found->second;
}

void CFoldedNames::Add(const std::string& bytes)
{
    const std::size_t number = m_count++;
    const std::wstring latin1 = m_fold(TextCodec::FromLatin1(bytes));
    m_latin1[latin1].push_back(number);
    if (IsValidUtf8(bytes))
        m_text[m_fold(TextCodec::FromUtf8(bytes))].push_back(number);
    else
        m_latin1Only[latin1].push_back(number);
}

std::vector<std::size_t> CFoldedNames::Find(const std::string& bytes) const
{
    const std::wstring latin1 = m_fold(TextCodec::FromLatin1(bytes));
    if (!IsValidUtf8(bytes))
        return At(m_latin1, latin1);
    // Valid UTF-8 meets valid names as text and the others as Latin-1; both
    // lists are in the order added, so merging keeps that order.
    const auto& asText = At(m_text, m_fold(TextCodec::FromUtf8(bytes)));
    const auto& asLatin1 = At(m_latin1Only, latin1);
    std::vector<std::size_t> found;
    found.reserve(asText.size() + asLatin1.size());
    std::merge(asText.begin(), asText.end(), asLatin1.begin(), asLatin1.end(), std::back_inserter(found));
    return found;
}
