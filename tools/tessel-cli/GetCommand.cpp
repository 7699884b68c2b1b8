#include "GetCommand.h"

#include "CommandRegistry.h"
#include "files/TransferList.h"
#include "platform/TextCodec.h"
#include "sites/SiteConnection.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>

using platform::TextCodec;

namespace nsCli
{

namespace
{
CommandRegistration<CGetCommand> registration;

// The size the server gives for the file, so that the job can tell a whole
// file from a cut one; -1 when it gives none. SIZE counts bytes only in image
// type, which the download uses anyway.
std::int64_t RemoteSize(nsFTP::CFTPClient& engine, const std::wstring& path)
{
    nsFTP::CFTPClient::ErrorCapture quiet(engine);
    nsFTP::Reply reply;
    if (engine.SetRepresentation({nsFTP::Representation::Image, nsFTP::Representation::NonPrint}) != 0 ||
        !engine.Execute(L"SIZE " + path, reply, false) || reply.Code() != L"213")
        return -1;
    const std::string text = TextCodec::ToLatin1(reply.text.substr(std::min<size_t>(4, reply.text.size())));
    std::int64_t size = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    const bool whole = end == text.data() + text.size() || *end == '\r' || *end == '\n' || *end == ' ';
    return error == std::errc() && whole && size >= 0 ? size : -1;
}
} // namespace

int CGetCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    NetworkCall call;
    int exitCode = 1;
    if (!ParseCall(args, {2, 0, true}, io, call, exitCode))
        return exitCode;
    const std::wstring& path = call.target.path;
    if (path.back() == L'/')
    {
        Fail(io, "the URL names a folder; name the file to download");
        return 1;
    }
    const std::string& file = call.positional[1];
    if (file.empty())
    {
        Fail(io, "name the local file");
        return 1;
    }
    // The folder the file lands in, and its name there as bytes.
    std::string folder;
    std::string name;
    struct stat status
    {
    };
    if (::stat(file.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
    {
        // Under the remote name's bytes; a name of its own cannot leave the folder.
        folder = file;
        name = TextCodec::ToLatin1(path.substr(path.find_last_of(L'/') + 1));
        if (name == "." || name == "..")
        {
            Fail(io, "name the local file: the remote path ends in " + name);
            return 1;
        }
    }
    else
    {
        const size_t slash = file.rfind('/');
        folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
        name = file.substr(slash == std::string::npos ? 0 : slash + 1);
        if (name.empty())
        {
            Fail(io, "cannot write into " + file + ": " + std::strerror(ENOENT));
            return 1;
        }
    }
    // Local problems stop the command before it connects. Local names are
    // bytes, UTF-8 or not.
    const bool found = ::stat(folder.c_str(), &status) == 0;
    if (!found || !S_ISDIR(status.st_mode))
    {
        Fail(io, "cannot write into " + folder + ": " + std::strerror(found ? ENOTDIR : errno));
        return 1;
    }

    auto connection = LogOn(call.target);
    if (!connection)
        return 1;
    auto list = std::make_unique<CTransferList>(connection.get());
    // The item's path below the destination is taken byte for byte as the local name.
    list->Add(RemoteSize(connection->Engine(), path), false, TextCodec::FromLatin1(name), path, 0);
    return RunJob(connection.get(), std::move(list), TextCodec::FromPathBytes(folder), JobKind::Download,
                  CConsoleJobHost::Replace::Always, io, true);
}

} // namespace nsCli
