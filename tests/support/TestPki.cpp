#include "TestPki.h"

#include <arpa/inet.h>
#include <cstdio>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace testing_support
{
namespace
{

EVP_PKEY* NewKey(int rsaBits)
{
    EVP_PKEY* key = rsaBits > 0 ? EVP_RSA_gen(static_cast<unsigned>(rsaBits)) : EVP_EC_gen("P-256");
    if (key == nullptr)
        throw std::runtime_error("cannot make a test key");
    return key;
}

void AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (extension == nullptr)
        throw std::runtime_error("cannot add a certificate extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

X509* NewCertificate(EVP_PKEY* key, const std::string& commonName, long fromSeconds, long untilSeconds)
{
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    unsigned char serial[8];
    RAND_bytes(serial, sizeof serial);
    serial[0] &= 0x7f;
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
    BN_free(number);
    X509_gmtime_adj(X509_getm_notBefore(certificate), fromSeconds);
    X509_gmtime_adj(X509_getm_notAfter(certificate), untilSeconds);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("Tessel tests"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    return certificate;
}

void WritePem(const std::string& path, X509* certificate, EVP_PKEY* key)
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr)
        throw std::runtime_error("cannot write " + path);
    const bool written = certificate
                             ? PEM_write_X509(file, certificate) == 1
                             : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(file);
    if (!written)
        throw std::runtime_error("cannot write " + path);
}

std::string Fingerprint(X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    X509_digest(certificate, EVP_sha256(), digest, &length);
    std::string text;
    char pair[4];
    for (unsigned i = 0; i < length; ++i)
    {
        std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : ":%02X", digest[i]);
        text += pair;
    }
    return text;
}

constexpr long Day = 24 * 3600;

} // namespace

TestPki::TestPki(const std::string& folder) : m_folder(folder)
{
    EVP_PKEY* key = NewKey(0);
    X509* ca = NewCertificate(key, "Tessel Test CA", -Day, 30 * Day);
    X509_set_issuer_name(ca, X509_get_subject_name(ca));
    AddExtension(ca, ca, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(ca, ca, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(ca, ca, NID_subject_key_identifier, "hash");
    X509_sign(ca, key, EVP_sha256());
    m_caKey = key;
    m_caCert = ca;
    m_caFile = folder + "/test-ca.pem";
    WritePem(m_caFile, ca, nullptr);
}

TestPki::~TestPki()
{
    X509_free(static_cast<X509*>(m_caCert));
    EVP_PKEY_free(static_cast<EVP_PKEY*>(m_caKey));
}

TestIdentity TestPki::Issue(const std::string& stem, const Options& options)
{
    EVP_PKEY* key = NewKey(options.rsaBits);
    const std::string commonName = options.hosts.empty() ? stem : options.hosts.front();
    X509* certificate = options.expired ? NewCertificate(key, commonName, -30 * Day, -Day)
                                        : NewCertificate(key, commonName, -Day, 30 * Day);
    X509* issuer = options.selfSigned ? certificate : static_cast<X509*>(m_caCert);
    EVP_PKEY* signer = options.selfSigned ? key : static_cast<EVP_PKEY*>(m_caKey);
    X509_set_issuer_name(certificate, X509_get_subject_name(issuer));
    std::string names;
    for (const auto& host : options.hosts)
    {
        in_addr address{};
        names += (names.empty() ? "" : ",") +
                 std::string(inet_pton(AF_INET, host.c_str(), &address) == 1 ? "IP:" : "DNS:") + host;
    }
    if (!names.empty())
        AddExtension(certificate, issuer, NID_subject_alt_name, names);
    AddExtension(certificate, issuer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(certificate, issuer, NID_ext_key_usage, "serverAuth");
    X509_sign(certificate, signer, EVP_sha256());

    TestIdentity identity;
    identity.certFile = m_folder + "/" + stem + ".crt";
    identity.keyFile = m_folder + "/" + stem + ".key";
    WritePem(identity.certFile, certificate, nullptr);
    WritePem(identity.keyFile, nullptr, key);
    identity.fingerprint = Fingerprint(certificate);
    X509_free(certificate);
    EVP_PKEY_free(key);
    return identity;
}

} // namespace testing_support
