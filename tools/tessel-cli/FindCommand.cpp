#include "FindCommand.h"

#include "CommandRegistry.h"
#include "FileStatusJson.h"
#include "files/RemoteFind.h"
#include "files/RemotePath.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

namespace nsCli
{

namespace
{
CommandRegistration<CFindCommand> registration;

// Writes each entry as it is reported, so a long search shows its results at once.
class JsonReport : public IFindReport
{
public:
    JsonReport(CommandIo& io, const std::string& command, const nsFTP::CNameCodec& names)
        : m_io(io), m_json(io.out), m_command(command), m_names(names)
    {
    }

    void Found(std::vector<FoundEntry> entries) override
    {
        for (const auto& entry : entries)
        {
            m_json.BeginObject();
            m_json.Field("Path", m_names.Decode(RemotePath::Join(entry.row.path, entry.row.name)));
            m_json.Field("Name", m_names.Decode(entry.row.displayName));
            if (entry.record)
                WriteFileStatusFields(m_json, *entry.record);
            m_json.EndObject();
        }
        std::fflush(m_io.out);
    }
    void Examining(const std::wstring&) override {}
    void Unreadable(const std::wstring& folder, const std::wstring& why) override
    {
        std::fprintf(m_io.err, "tessel-cli %s: cannot list %s: %s\n", m_command.c_str(),
                     platform::TextCodec::ToUtf8(folder).c_str(), platform::TextCodec::ToUtf8(why).c_str());
    }
    bool Ok() const { return m_json.Ok(); }

private:
    CommandIo& m_io;
    CJsonLineWriter m_json;
    std::string m_command;
    nsFTP::CNameCodec m_names;
};

bool TakeFlag(std::vector<std::string>& args, const std::string& flag)
{
    bool found = false;
    for (auto at = args.begin(); at != args.end() && *at != "--";)
        if (*at == flag)
        {
            found = true;
            at = args.erase(at);
        }
        else
            ++at;
    return found;
}
} // namespace

int CFindCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    std::vector<std::string> rest = args;
    FindCriteria criteria;
    criteria.matchCase = TakeFlag(rest, "--match-case");
    criteria.wholeWord = TakeFlag(rest, "--whole-word");
    criteria.subfolders = !TakeFlag(rest, "--no-subfolders");
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(rest, {2, 0, false}, io, call, exitCode))
        return exitCode;
    criteria.text = platform::TextCodec::FromUtf8(call.positional[1]);
    if (CNameTest(criteria).Blank())
    {
        Fail(io, "the text to find is blank");
        return 1;
    }
    auto connection = LogOn(call.target);
    if (!connection)
        return 1;

    // Results carry full paths: a relative path starts where the logon led.
    std::wstring folder = call.target.path;
    if (folder.empty() || folder[0] != L'/')
    {
        const std::wstring start = connection->CurrentDirectory();
        folder = folder.empty() ? start : RemotePath::Join(start, folder);
    }
    const std::string name(Name());
    JsonReport report(io, name, connection->Names());
    CRemoteFind find(*connection, criteria, report);
    const FindOutcome outcome = find.Run(folder);
    if (!report.Ok() || std::fflush(io.out) != 0)
    {
        Fail(io, "cannot write the records");
        return 1;
    }
    // Folders that could not be listed were named one by one already.
    const std::string why = platform::TextCodec::ToUtf8(outcome.why);
    switch (outcome.end)
    {
    case FindOutcome::Completed:
        if (outcome.tooDeep)
            Fail(io, "folders more than " + std::to_string(CRemoteFind::MaxDepth) +
                         " levels down were not searched");
        return 0;
    case FindOutcome::TooManyResults:
        Fail(io, "the search stopped at " + std::to_string(CRemoteFind::MaxResults) + " results");
        return 1;
    case FindOutcome::ConnectionLost:
        Fail(io, "the connection was lost: " + why);
        return 1;
    case FindOutcome::NotListed:
        Fail(io, "cannot list the folder: " + why);
        return 1;
    case FindOutcome::Stopped:
        break;
    }
    return 1;
}

} // namespace nsCli
