#include "SiteOptions.h"

#include "platform/TextCodec.h"

bool SiteOptions::IsName(const std::string& name)
{
    if (name.empty())
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_'))
            return false;
    return true;
}

bool SiteOptions::IsValue(const std::string& value)
{
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return false;
    return platform::TextCodec::IsUtf8(value);
}

std::string SiteOptions::Get(const std::string& name, const std::string& fallback) const
{
    const auto found = m_values.find(name);
    return found == m_values.end() ? fallback : found->second;
}

bool SiteOptions::Set(const std::string& name, const std::string& value)
{
    if (!IsName(name) || !IsValue(value))
        return false;
    m_values[name] = value;
    return true;
}

nsFTP::NameEncoding SiteOptions::Encoding() const
{
    nsFTP::NameEncoding encoding = nsFTP::NameEncoding::Auto;
    return nsFTP::CNameCodec::Parse(Get(EncodingName), encoding) ? encoding : nsFTP::NameEncoding::Auto;
}

void SiteOptions::SetEncoding(nsFTP::NameEncoding encoding)
{
    if (encoding == nsFTP::NameEncoding::Auto)
        Remove(EncodingName);
    else
        Set(EncodingName, nsFTP::CNameCodec::Name(encoding));
}

void SiteOptions::MergeEdit(const SiteOptions& before, const SiteOptions& after, SiteOptions& stored)
{
    auto apply = [&](const std::string& name)
    {
        const auto was = before.m_values.find(name);
        const auto is = after.m_values.find(name);
        const bool changed = (was == before.m_values.end()) != (is == after.m_values.end()) ||
                             (is != after.m_values.end() && was->second != is->second);
        if (!changed)
            return;
        if (is == after.m_values.end())
            stored.m_values.erase(name);
        else
            stored.m_values[name] = is->second;
    };
    for (const auto& [name, value] : before.m_values)
        apply(name);
    for (const auto& [name, value] : after.m_values)
        apply(name);
}

std::vector<std::uint8_t> SiteOptions::Encode() const
{
    std::string text;
    for (const auto& [name, value] : m_values)
        text += name + '=' + value + '\n';
    return {text.begin(), text.end()};
}

bool SiteOptions::Decode(const std::vector<std::uint8_t>& bytes, SiteOptions& options)
{
    SiteOptions decoded;
    const std::string text(bytes.begin(), bytes.end());
    std::size_t start = 0;
    while (start < text.size())
    {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || !decoded.Set(line.substr(0, equals), line.substr(equals + 1)))
            return false;
    }
    options = std::move(decoded);
    return true;
}

nsFTP::Encryption SiteOptions::Encryption() const
{
    const auto found = m_values.find(EncryptionName);
    if (found == m_values.end())
        return nsFTP::Encryption::Plain;
    nsFTP::Encryption encryption = nsFTP::Encryption::Require;
    // A value of a newer program is taken as the safest choice.
    nsFTP::ParseEncryption(found->second, encryption);
    return encryption;
}

void SiteOptions::SetEncryption(nsFTP::Encryption encryption)
{
    m_values[EncryptionName] = nsFTP::EncryptionName(encryption);
}

void SiteOptions::SetTrustedFingerprint(const std::string& fingerprint)
{
    if (fingerprint.empty())
        Remove(TrustedFingerprintName);
    else
        Set(TrustedFingerprintName, fingerprint);
}

SiteOptions SiteOptions::ForNewSite()
{
    SiteOptions options;
    options.SetEncryption(nsFTP::Encryption::Require);
    return options;
}
