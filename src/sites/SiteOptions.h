#pragma once
#include "ftp/Encryption.h"
#include "ftp/NameCodec.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Settings of one site kept beside its fixed 1792-byte record, which has no
// room for them: "name=value" lines in UTF-8, stored under the SiteOptions key
// by the site's label. A site without any reads as all defaults. Names this
// build does not know are kept as they are, so options of a newer program
// survive a save by an older one.
//
// A new option is a name and a default: add a constant and a typed accessor
// below (for example Encoding() returning Get(EncodingName, "auto")), and
// store changes through CSiteList::SetOptions.
class SiteOptions
{
public:
    // Names: lower-case letters, digits, '.', '-' and '_'. Values: any UTF-8
    // text on one line.
    static bool IsName(const std::string& name);
    static bool IsValue(const std::string& value);

    std::string Get(const std::string& name, const std::string& fallback = {}) const;

    // "encryption": require, auto or plain. A site stored before FTP over TLS
    // has none and stays plain FTP, as it was; new sites start with
    // ForNewSite, which requires TLS. An unknown value reads as require.
    static constexpr const char* EncryptionName = "encryption";
    nsFTP::Encryption Encryption() const;
    void SetEncryption(nsFTP::Encryption encryption);
    // "tls-fingerprint": the SHA-256 fingerprint of a certificate the user
    // chose to trust although it failed the check; empty for none.
    static constexpr const char* TrustedFingerprintName = "tls-fingerprint";
    std::string TrustedFingerprint() const { return Get(TrustedFingerprintName); }
    void SetTrustedFingerprint(const std::string& fingerprint);
    // The options of a site made now.
    static SiteOptions ForNewSite();
    // False (and nothing set) for a name or value of another form.
    bool Set(const std::string& name, const std::string& value);
    void Remove(const std::string& name) { m_values.erase(name); }

    // "encoding": how the site's names are read and typed text written
    // (nsFTP::CNameCodec). Missing, or a value this build does not know,
    // reads as Auto; setting Auto removes the value.
    static constexpr const char* EncodingName = "encoding";
    nsFTP::NameEncoding Encoding() const;
    void SetEncoding(nsFTP::NameEncoding encoding);

    bool Empty() const { return m_values.empty(); }
    const std::map<std::string, std::string>& Values() const { return m_values; }

    // One edit, before and after as the user saw them, applied to what is
    // stored now: the options that differ are taken from after (or removed
    // where after has none), the others keep the stored values.
    static void MergeEdit(const SiteOptions& before, const SiteOptions& after, SiteOptions& stored);

    // The stored form, one line per option, sorted by name.
    std::vector<std::uint8_t> Encode() const;
    // False for bytes that are not UTF-8 "name=value" lines; options stays as it was.
    static bool Decode(const std::vector<std::uint8_t>& bytes, SiteOptions& options);
    // Stored options larger than this are not read.
    static constexpr std::size_t MaxStoredSize = 65536;

    friend bool operator==(const SiteOptions& a, const SiteOptions& b) { return a.m_values == b.m_values; }

private:
    std::map<std::string, std::string> m_values;
};
