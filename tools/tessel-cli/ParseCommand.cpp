#include "ParseCommand.h"

#include "CommandRegistry.h"
#include "FileStatusJson.h"
#include "JsonLineWriter.h"
#include "ftp/FTPFileStatus.h"
#include "ftp/ListingLines.h"
#include "ftp/ListingParser.h"

#include <charconv>
#include <memory>

namespace nsCli
{

namespace
{
CommandRegistration<CParseCommand> registration;

bool ParseYear(const std::string& text, int& year)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, year);
    return result.ec == std::errc() && result.ptr == end && year >= 1900 && year <= 9999;
}
} // namespace

int CParseCommand::Run(const std::vector<std::string>& args, CommandIo& io)
{
    int year = 0;
    bool haveYear = false;
    for (size_t i = 0; i < args.size(); ++i)
    {
        if (args[i] == "--year" && i + 1 < args.size() && ParseYear(args[i + 1], year))
        {
            haveYear = true;
            ++i;
            continue;
        }
        if (args[i] == "-h" || args[i] == "--help")
        {
            CCommandRegistry::PrintCommandUsage(*this, io.out);
            return 0;
        }
        std::fprintf(io.err, "tessel-cli parse: bad argument '%s'\n", args[i].c_str());
        CCommandRegistry::PrintCommandUsage(*this, io.err);
        return 1;
    }

    auto parser =
        haveYear ? std::make_unique<nsFTP::CListingParser>(year) : std::make_unique<nsFTP::CListingParser>();
    nsFTP::CListingLines lines;
    nsFTP::CFTPFileStatus record;
    CJsonLineWriter json(io.out);
    std::wstring line;
    auto drain = [&]
    {
        while (lines.NextLine(line))
        {
            if (parser->Parse(line, record))
                WriteFileStatus(json, record);
            else
                json.Null();
        }
    };

    char buffer[65536];
    for (;;)
    {
        const size_t got = std::fread(buffer, 1, sizeof buffer, io.in);
        if (got > 0)
        {
            lines.AppendBytes(std::string_view(buffer, got));
            drain();
        }
        if (got < sizeof buffer)
            break;
    }
    if (std::ferror(io.in))
    {
        std::fprintf(io.err, "tessel-cli parse: cannot read the listing\n");
        return 1;
    }
    lines.Finish();
    drain();
    if (std::fflush(io.out) != 0 || !json.Ok())
    {
        std::fprintf(io.err, "tessel-cli parse: cannot write the records\n");
        return 1;
    }
    return 0;
}

} // namespace nsCli
