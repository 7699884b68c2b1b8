#pragma once
#include <string>
#include <vector>

struct x509_st;

namespace nsSocket
{

// What a user needs to judge a server's certificate: who it names, who signed
// it, when it is valid, its SHA-256 fingerprint and what the check found wrong.
class CCertificateInfo
{
public:
    enum class Problem
    {
        SelfSigned,
        UnknownIssuer,
        Expired,
        NotYetValid,
        WrongHost,
        WeakKey,
        Other
    };

    std::wstring subject;
    std::wstring issuer;
    std::wstring validFrom;  // UTC, "2026-12-09 11:30:12 UTC"
    std::wstring validUntil; // UTC
    // Upper-case hex pairs joined by colons.
    std::string fingerprint;
    // The names the certificate is for (its DNS and IP names, else its common name).
    std::wstring names;
    // The certificate has no subject alternative names; names is its common name.
    bool namesFromCommonName = false;
    std::wstring keyType;
    int keyBits = 0;
    std::vector<Problem> problems;
    // OpenSSL's words for problems of kind Other.
    std::vector<std::wstring> otherReasons;

    bool Trusted() const { return problems.empty(); }
    bool Has(Problem problem) const;
    // One sentence per problem, for the host name the client asked for.
    std::vector<std::wstring> ProblemTexts(const std::wstring& host) const;
    // Subject, issuer, validity, fingerprint and the problems, one a line.
    std::wstring Describe(const std::wstring& host) const;

    // The facts of a certificate; the problems are the caller's to add.
    static CCertificateInfo Of(x509_st* certificate);
    static std::string Fingerprint(x509_st* certificate);
    // Hex digits only, upper case: "ab:CD:01" and "AbCd01" compare equal.
    static std::string NormalFingerprint(const std::string& text);
};

} // namespace nsSocket
