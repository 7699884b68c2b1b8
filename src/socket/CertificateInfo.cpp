#include "CertificateInfo.h"

#include "platform/TextCodec.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace nsSocket
{
namespace
{

std::wstring NameText(const X509_NAME* name)
{
    if (name == nullptr)
        return {};
    BIO* bio = BIO_new(BIO_s_mem());
    if (bio == nullptr)
        return {};
    // One line, "CN=host, O=Org", UTF-8 kept as it is.
    X509_NAME_print_ex(bio, name, 0,
                       (XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB & ~XN_FLAG_SPC_EQ) | XN_FLAG_SEP_CPLUS_SPC);
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    std::string text(data ? data : "", length > 0 ? static_cast<size_t>(length) : 0);
    BIO_free(bio);
    return platform::TextCodec::FromUtf8(text);
}

std::wstring TimeText(const ASN1_TIME* time)
{
    std::tm parts{};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1)
        return L"(unknown)";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return platform::TextCodec::FromLatin1(text);
}

std::wstring NamesOf(X509* certificate, bool& fromCommonName)
{
    fromCommonName = false;
    std::wstring names;
    auto add = [&names](const std::wstring& name)
    {
        if (!names.empty())
            names += L", ";
        names += name;
    };
    auto* general =
        static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; general != nullptr && i < sk_GENERAL_NAME_num(general); ++i)
    {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(general, i);
        if (entry->type == GEN_DNS)
        {
            const ASN1_STRING* dns = entry->d.dNSName;
            add(platform::TextCodec::FromLatin1(
                std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(dns)),
                            static_cast<size_t>(ASN1_STRING_length(dns)))));
        }
        else if (entry->type == GEN_IPADD && ASN1_STRING_length(entry->d.iPAddress) == 4)
        {
            const unsigned char* b = ASN1_STRING_get0_data(entry->d.iPAddress);
            add(std::to_wstring(b[0]) + L"." + std::to_wstring(b[1]) + L"." + std::to_wstring(b[2]) + L"." +
                std::to_wstring(b[3]));
        }
    }
    GENERAL_NAMES_free(general);
    if (names.empty())
    {
        char common[256] = {};
        if (X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, common,
                                      sizeof common) > 0)
        {
            names = platform::TextCodec::FromUtf8(common);
            fromCommonName = true;
        }
    }
    return names;
}

} // namespace

bool CCertificateInfo::Has(Problem problem) const
{
    return std::find(problems.begin(), problems.end(), problem) != problems.end();
}

std::vector<std::wstring> CCertificateInfo::ProblemTexts(const std::wstring& host) const
{
    std::vector<std::wstring> texts;
    for (const Problem problem : problems)
    {
        switch (problem)
        {
        case Problem::SelfSigned:
            texts.push_back(
                L"The certificate is self-signed: no authority this system trusts vouches for it.");
            break;
        case Problem::UnknownIssuer:
            texts.push_back(L"The certificate was issued by an authority this system does not trust.");
            break;
        case Problem::Expired:
            texts.push_back(L"The certificate expired on " + validUntil + L".");
            break;
        case Problem::NotYetValid:
            texts.push_back(L"The certificate is not valid before " + validFrom + L".");
            break;
        case Problem::WrongHost:
            if (namesFromCommonName)
                // Only the alternative names count for an address, and for any host today.
                texts.push_back(L"The certificate lists no host names, only the common name " + names +
                                L", so it does not show that it is for " + host + L".");
            else
                texts.push_back(L"The certificate is for " + (names.empty() ? L"another host" : names) +
                                L", not for " + host + L".");
            break;
        case Problem::WeakKey:
            texts.push_back(L"The certificate's key is too weak (" + keyType + L", " +
                            std::to_wstring(keyBits) + L" bits).");
            break;
        case Problem::Other:
            for (const auto& reason : otherReasons)
                texts.push_back(L"The certificate failed the check: " + reason + L".");
            if (otherReasons.empty())
                texts.push_back(L"The certificate failed the check.");
            break;
        }
    }
    return texts;
}

std::wstring CCertificateInfo::Describe(const std::wstring& host) const
{
    std::wstring text = L"Subject: " + subject + L"\nIssuer: " + issuer + L"\nValid from: " + validFrom +
                        L"\nValid until: " + validUntil + L"\nSHA-256 fingerprint: " +
                        platform::TextCodec::FromLatin1(fingerprint);
    for (const auto& line : ProblemTexts(host))
        text += L"\n" + line;
    return text;
}

CCertificateInfo CCertificateInfo::Of(X509* certificate)
{
    CCertificateInfo info;
    if (certificate == nullptr)
        return info;
    info.subject = NameText(X509_get_subject_name(certificate));
    info.issuer = NameText(X509_get_issuer_name(certificate));
    info.validFrom = TimeText(X509_get0_notBefore(certificate));
    info.validUntil = TimeText(X509_get0_notAfter(certificate));
    info.fingerprint = Fingerprint(certificate);
    info.names = NamesOf(certificate, info.namesFromCommonName);
    if (EVP_PKEY* key = X509_get0_pubkey(certificate))
    {
        info.keyBits = EVP_PKEY_get_bits(key);
        const char* type = EVP_PKEY_get0_type_name(key);
        info.keyType = platform::TextCodec::FromLatin1(type ? type : "key");
    }
    return info;
}

std::string CCertificateInfo::Fingerprint(X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &length) != 1)
        return {};
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned i = 0; i < length; ++i)
    {
        if (i > 0)
            text += ':';
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

std::string CCertificateInfo::NormalFingerprint(const std::string& text)
{
    std::string normal;
    for (const char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            normal += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        else if (c != ':' && c != ' ')
            return {};
    return normal;
}

} // namespace nsSocket
