#include "NetworkCommand.h"

#include "CliCertificatePrompt.h"
#include "CommandRegistry.h"
#include "FtpUrl.h"
#include "NetworkOptions.h"
#include "StoredSite.h"
#include "platform/Services.h"
#include "sites/SiteConnection.h"
#include "sites/SiteRecord.h"

namespace nsCli
{

void CNetworkCommand::Fail(CommandIo& io, const std::string& text) const
{
    const std::string name(Name());
    std::fprintf(io.err, "tessel-cli %s: %s\n", name.c_str(), text.c_str());
}

bool CNetworkCommand::ParseCall(const std::vector<std::string>& args, Shape shape, CommandIo& io,
                                NetworkCall& call, int& exitCode) const
{
    for (const auto& arg : args)
    {
        if (arg == "--")
            break;
        if (arg == "-h" || arg == "--help")
        {
            CCommandRegistry::PrintCommandUsage(*this, io.out);
            std::fputs(CNetworkOptions::Help(), io.out);
            exitCode = 0;
            return false;
        }
    }
    exitCode = 1;
    std::vector<std::string> positional = args;
    CNetworkOptions options;
    std::string error;
    if (CNetworkOptions::Take(positional, options, error) && options.haveSite)
    {
        // With a stored site the URL's place holds a plain path.
        SiteRecord site;
        SiteOptions stored;
        if (positional.size() != shape.count)
            error = "expected " + std::to_string(shape.count) + " argument" + (shape.count == 1 ? "" : "s") +
                    ", got " + std::to_string(positional.size());
        else if (FindStoredSite(options.site, site, stored, error))
        {
            // --encoding, where given, stands for this run only.
            if (options.haveEncoding)
                stored.SetEncoding(options.encoding);
            std::wstring path;
            if (!CFtpUrl::DecodePath(positional[shape.urlIndex], nsFTP::CNameCodec(stored.Encoding()), path,
                                     error))
                error = "bad path: " + error;
            else if (shape.needsPath && (path.empty() || path == L"/" || path == L"."))
                error = "the path names no remote file or folder";
            else
            {
                call.target = CLogonTarget::FromSite(site, stored, path);
                call.target.trustFingerprint = options.trustFingerprint;
                call.positional = std::move(positional);
                return true;
            }
        }
    }
    else if (error.empty())
    {
        CFtpUrl url;
        if (positional.size() != shape.count)
            error = "expected " + std::to_string(shape.count) + " argument" + (shape.count == 1 ? "" : "s") +
                    ", got " + std::to_string(positional.size());
        else if (!CFtpUrl::Parse(positional[shape.urlIndex], url, error, nsFTP::CNameCodec(options.encoding)))
            error = "bad URL: " + error;
        else if (shape.needsPath && (url.path.empty() || url.path == L"/" || url.path == L"."))
            error = "the URL names no remote file or folder";
        else if (CLogonTarget::FromUrl(url, options, call.target, error))
        {
            call.positional = std::move(positional);
            return true;
        }
    }
    Fail(io, error);
    CCommandRegistry::PrintCommandUsage(*this, io.err);
    const std::string name(Name());
    std::fprintf(io.err, "'tessel-cli %s --help' lists the options\n", name.c_str());
    return false;
}

std::unique_ptr<CSiteConnection> CNetworkCommand::LogOn(const CLogonTarget& target)
{
    auto connection = std::make_unique<CSiteConnection>();
    // Only the logon asks about certificates; a script's settings file is
    // never changed by one.
    CCliCertificatePrompt prompt(target.trustFingerprint, stderr);
    platform::ICertificatePrompt& previous = platform::Services::CertificatePrompt();
    platform::Services::SetCertificatePrompt(&prompt);
    const bool connected = connection->Connect(target.site, target.options, false);
    platform::Services::SetCertificatePrompt(&previous);
    if (!connected)
        return nullptr;
    connection->GoToInitialDirectory(target.site.Directory());
    return connection;
}

std::unique_ptr<CSiteConnection> CNetworkCommand::ParseAndLogOn(const std::vector<std::string>& args,
                                                                Shape shape, CommandIo& io, NetworkCall& call,
                                                                int& exitCode) const
{
    exitCode = 1;
    if (!ParseCall(args, shape, io, call, exitCode))
        return nullptr;
    exitCode = 1;
    return LogOn(call.target);
}

} // namespace nsCli
