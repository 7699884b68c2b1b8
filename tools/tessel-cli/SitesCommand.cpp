#include "SitesCommand.h"

#include "CommandRegistry.h"
#include "JsonLineWriter.h"
#include "StoredSite.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "platform/qt/QSettingsStore.h"
#include "sites/SiteConnection.h"
#include "sites/SiteList.h"

#include <charconv>
#include <climits>
#include <functional>
#include <map>

namespace nsCli
{

namespace
{
CommandRegistration<CSitesCommand> registration;

const wchar_t* const DuplicateLabel = L"A site or group with this label already exists.";

// Every field but the passwords, under the record's own names, with the
// site's options (the encoding of names; for sites, encryption and trust).
void WriteRecord(CJsonLineWriter& json, const SiteRecord& r, const SiteOptions* options)
{
    json.BeginObject();
    json.Field("label", r.Label());
    json.Field("host", r.Host());
    json.Field("port", static_cast<int64_t>(r.Port()));
    json.Field("passive", static_cast<int64_t>(r.Passive()));
    json.Field("login", r.Login());
    json.Field("anonymous", static_cast<int64_t>(r.Anonymous()));
    json.Field("timeout", static_cast<int64_t>(r.Timeout()));
    json.Field("directory", r.Directory());
    json.Field("keepAlive", static_cast<int64_t>(r.KeepAlive()));
    json.Field("groupId", static_cast<int64_t>(r.GroupId()));
    json.Field("parentGroupId", static_cast<int64_t>(r.ParentGroupId()));
    json.Field("proxyHost", r.ProxyHost());
    json.Field("proxyUser", r.ProxyUser());
    json.Field("proxyPort", static_cast<int64_t>(r.ProxyPort()));
    json.Field("proxyMode", static_cast<int64_t>(r.ProxyMode()));
    const SiteOptions none;
    const SiteOptions& o = options ? *options : none;
    json.Field("encoding", platform::TextCodec::FromUtf8(nsFTP::CNameCodec::Name(o.Encoding())));
    if (!r.IsGroup())
    {
        json.Field("encryption", platform::TextCodec::FromLatin1(nsFTP::EncryptionName(o.Encryption())));
        json.Field("trustedFingerprint", platform::TextCodec::FromLatin1(o.TrustedFingerprint()));
    }
    json.EndObject();
}

bool ParseNumber(const std::string& text, long long low, long long high, int& value)
{
    long long number = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, number);
    if (result.ec != std::errc() || result.ptr != end || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

// What one option of add does to the record; false with the reason.
using Setter = std::function<bool(SiteRecord&, const std::string&, std::string&)>;

Setter Text(void (SiteRecord::*set)(const std::wstring&))
{
    return [set](SiteRecord& record, const std::string& value, std::string& error)
    {
        const std::wstring text = platform::TextCodec::FromUtf8(value);
        // The record holds 95 UTF-16 units; cutting would store something
        // other than what was asked for.
        if (platform::TextCodec::ToUtf16(text).size() > SiteRecord::MaxTextLength)
        {
            error = "at most 95 characters";
            return false;
        }
        (record.*set)(text);
        return true;
    };
}

Setter Number(void (SiteRecord::*set)(int), long long low, long long high)
{
    return [=](SiteRecord& record, const std::string& value, std::string& error)
    {
        int number = 0;
        if (!ParseNumber(value, low, high, number))
        {
            error = "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
            return false;
        }
        (record.*set)(number);
        return true;
    };
}

Setter Flag(void (SiteRecord::*set)(int))
{
    return [set](SiteRecord& record, const std::string& value, std::string& error)
    {
        if (value != "0" && value != "1")
        {
            error = "0 or 1";
            return false;
        }
        (record.*set)(value == "1" ? 1 : 0);
        return true;
    };
}

const std::map<std::string, Setter>& AddOptions()
{
    static const std::map<std::string, Setter> options = {
        {"--label", Text(&SiteRecord::SetLabel)},
        {"--host", Text(&SiteRecord::SetHost)},
        {"--port", Number(&SiteRecord::SetPort, 1, 65535)},
        {"--login", Text(&SiteRecord::SetLogin)},
        {"--password", Text(&SiteRecord::SetPassword)},
        {"--anonymous", Flag(&SiteRecord::SetAnonymous)},
        {"--passive", Flag(&SiteRecord::SetPassive)},
        {"--timeout", Number(&SiteRecord::SetTimeout, 1, INT_MAX)},
        {"--directory", Text(&SiteRecord::SetDirectory)},
        {"--keep-alive", Flag(&SiteRecord::SetKeepAlive)},
        {"--parent-group-id", Number(&SiteRecord::SetParentGroupId, -1, INT_MAX)},
        {"--proxy-mode", Number(&SiteRecord::SetProxyMode, 0, 8)},
        {"--proxy-host", Text(&SiteRecord::SetProxyHost)},
        {"--proxy-port", Number(&SiteRecord::SetProxyPort, 1, 65535)},
        {"--proxy-user", Text(&SiteRecord::SetProxyUser)},
        {"--proxy-password", Text(&SiteRecord::SetProxyPassword)},
    };
    return options;
}

class CSitesRun
{
public:
    CSitesRun(const ICommand& command, CommandIo& io) : m_command(command), m_io(io) {}

    int Fail(const std::string& text)
    {
        std::fprintf(m_io.err, "tessel-cli sites: %s\n", text.c_str());
        return 1;
    }

    int Usage(const std::string& text)
    {
        Fail(text);
        CCommandRegistry::PrintCommandUsage(m_command, m_io.err);
        return 1;
    }

    int Finish()
    {
        if (std::fflush(m_io.out) != 0 || std::ferror(m_io.out))
            return Fail("cannot write the output");
        return 0;
    }

    // Every readable site is listed; entries that could not be read are
    // told on stderr and make the run fail.
    int List()
    {
        SettingsFile();
        CSiteList sites;
        const bool whole = sites.LoadSites();
        CJsonLineWriter json(m_io.out);
        for (int i = 0; i < sites.Count(); ++i)
            WriteRecord(json, *sites.SiteAt(i), sites.OptionsAt(i));
        const int finished = Finish();
        if (whole)
            return finished;
        sites.TellDamageOnce();
        return 1;
    }

    // Before a change: damage found in the file is told, and the change goes
    // on (the damaged entries stay, and the file is copied before it is saved).
    static void Load(CSiteList& sites)
    {
        if (!sites.LoadSites())
            platform::Services::MessageBoxes().Show(sites.Damage().Text(), platform::BoxIcon::Warning,
                                                    platform::BoxButtons::Ok);
    }

    int Add(const std::vector<std::string>& args)
    {
        SiteRecord record;
        // A new site requires TLS unless told otherwise.
        SiteOptions options = SiteOptions::ForNewSite();
        bool haveLabel = false;
        for (size_t i = 1; i < args.size(); ++i)
        {
            if (args[i] == "--encryption")
            {
                nsFTP::Encryption encryption = nsFTP::Encryption::Require;
                if (i + 1 >= args.size() || !nsFTP::ParseEncryption(args[i + 1], encryption))
                    return Usage("add: --encryption takes require, auto or plain");
                options.SetEncryption(encryption);
                ++i;
                continue;
            }
            if (args[i] == "--encoding")
            {
                nsFTP::NameEncoding encoding = nsFTP::NameEncoding::Auto;
                if (i + 1 >= args.size())
                    return Usage("add: --encoding needs a value");
                if (!nsFTP::CNameCodec::Parse(args[++i], encoding))
                    return Usage("add: --encoding takes auto, utf-8 or latin-1");
                options.SetEncoding(encoding);
                continue;
            }
            const auto option = AddOptions().find(args[i]);
            if (option == AddOptions().end())
                return Usage("add: unknown option '" + args[i] + "'");
            if (i + 1 >= args.size())
                return Usage("add: " + args[i] + " needs a value");
            std::string error;
            if (!option->second(record, args[i + 1], error))
                return Usage("add: " + args[i] + " takes " + error);
            haveLabel |= args[i] == "--label";
            ++i;
        }
        if (!haveLabel)
            return Usage("add: --label is required");
        if (record.Label().empty())
        {
            platform::Services::ShowError(L"The site label cannot be empty.");
            return 1;
        }
        SettingsFile();
        CSiteList sites;
        Load(sites);
        if (sites.FindSite(record.Label()))
        {
            platform::Services::ShowError(DuplicateLabel);
            return 1;
        }
        if (record.ParentGroupId() != -1 && !HasGroup(sites, record.ParentGroupId()))
            return Fail("add: no group has the number " + std::to_string(record.ParentGroupId()));
        return Store(sites, record, options);
    }

    int AddGroup(const std::vector<std::string>& args)
    {
        if (args.size() != 2)
            return Usage("add-group takes one label");
        SiteRecord record;
        std::string error;
        if (!Text(&SiteRecord::SetLabel)(record, args[1], error))
            return Fail("add-group: the label takes " + error);
        SettingsFile();
        CSiteList sites;
        Load(sites);
        if (sites.FindSite(record.Label()))
        {
            platform::Services::ShowError(DuplicateLabel);
            return 1;
        }
        record.SetGroupId(sites.NextGroupNumber());
        return Store(sites, record);
    }

    int Remove(const std::vector<std::string>& args)
    {
        if (args.size() != 2)
            return Usage("remove takes one label");
        const std::wstring label = platform::TextCodec::FromUtf8(args[1]);
        SettingsFile();
        CSiteList sites;
        Load(sites);
        const SiteRecord* found = sites.FindSite(label);
        if (!found)
            return Fail("remove: no site or group is labelled '" + args[1] + "'");
        if (found->IsGroup())
            for (const SiteRecord& record : sites.Sites())
                if (!record.IsGroup() && record.ParentGroupId() == found->GroupId())
                {
                    platform::Services::ShowError(L"The group is not empty.");
                    return 1;
                }
        // The store checks again what it holds now; a failure has been told.
        return sites.RemoveSite(found->Label(), true) ? 0 : 1;
    }

    int Connect(const std::vector<std::string>& args)
    {
        if (args.size() != 2)
            return Usage("connect takes one label");
        auto connection = ConnectStoredSite(platform::TextCodec::FromUtf8(args[1]));
        if (!connection)
            return 1;
        CJsonLineWriter json(m_io.out);
        json.BeginObject();
        json.Field("label", connection->CurrentSite().Label());
        json.Field("home", connection->Names().Decode(connection->HomeDirectory()));
        json.Field("directory", connection->Names().Decode(connection->CurrentDirectory()));
        json.EndObject();
        connection->Disconnect();
        return Finish();
    }

private:
    static bool HasGroup(const CSiteList& sites, int groupId)
    {
        for (const SiteRecord& record : sites.Sites())
            if (record.IsGroup() && record.GroupId() == groupId)
                return true;
        return false;
    }

    // Adds the record to what the file holds now and prints it as stored (a
    // group may have got another number); a save that failed has been told.
    int Store(CSiteList& sites, const SiteRecord& record, const SiteOptions& options = {})
    {
        const int index = sites.AddSite(record, options);
        if (index < 0)
            return 1;
        CJsonLineWriter json(m_io.out);
        WriteRecord(json, *sites.SiteAt(index), sites.OptionsAt(index));
        return Finish();
    }

    const ICommand& m_command;
    CommandIo& m_io;
};
} // namespace

int CSitesCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    CSitesRun run(*this, io);
    if (args.empty())
        return run.Usage("missing subcommand");
    const std::string& what = args[0];
    if (what == "-h" || what == "--help")
    {
        CCommandRegistry::PrintCommandUsage(*this, io.out);
        return 0;
    }
    if (what == "list")
        return args.size() == 1 ? run.List() : run.Usage("list takes no arguments");
    if (what == "add")
        return run.Add(args);
    if (what == "add-group")
        return run.AddGroup(args);
    if (what == "remove")
        return run.Remove(args);
    if (what == "connect")
        return run.Connect(args);
    return run.Usage("unknown subcommand '" + what + "'");
}

} // namespace nsCli
