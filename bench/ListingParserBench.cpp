// Lines per second of the listing parser for each format (items_per_second).
// Each run makes a fresh parser, as a listing does, then parses a day's worth
// of varied lines over and over.
#include "ftp/FTPFileStatus.h"
#include "ftp/ListingParser.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace
{

const char* const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const MonthsUpper[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                   "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

std::wstring Widen(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

// A few hundred lines with many distinct dates, so the date cache is tested
// too, not just one hot entry.
std::vector<std::wstring> UnixLines()
{
    std::vector<std::wstring> lines;
    char buf[256];
    for (int i = 0; i < 512; ++i)
    {
        const int month = i % 12;
        const int day = 1 + (i * 7) % 28;
        if (i % 3 == 0)
            std::snprintf(buf, sizeof buf,
                          "-rw-r--r--   1 ftp      ftp      %9d %s %2d  %d release-%d.tar.gz", i * 4099,
                          Months[month], day, 2000 + i % 24, i);
        else
            std::snprintf(buf, sizeof buf, "%srwxr-xr-x   2 user%-4d staff    %9d %s %2d %02d:%02d %s%d",
                          i % 5 == 0 ? "d" : "-", i % 50, i * 17, Months[month], day, i % 24, i % 60,
                          i % 5 == 0 ? "folder" : "file.txt.", i);
        lines.push_back(Widen(buf));
    }
    return lines;
}

std::vector<std::wstring> MsDosLines()
{
    std::vector<std::wstring> lines;
    char buf[256];
    for (int i = 0; i < 512; ++i)
    {
        const int hour = 1 + i % 12;
        if (i % 4 == 0)
            std::snprintf(buf, sizeof buf, "%02d-%02d-%02d  %02d:%02d%s       <DIR>          Folder %d",
                          1 + i % 12, 1 + (i * 7) % 28, i % 30, hour, i % 60, i % 2 ? "AM" : "PM", i);
        else
            std::snprintf(buf, sizeof buf, "%02d-%02d-%02d  %02d:%02d%s %20d report-%d.docx", 1 + i % 12,
                          1 + (i * 7) % 28, i % 30, hour, i % 60, i % 2 ? "AM" : "PM", i * 1031, i);
        lines.push_back(Widen(buf));
    }
    return lines;
}

std::vector<std::wstring> VmsLines()
{
    std::vector<std::wstring> lines;
    char buf[256];
    for (int i = 0; i < 512; ++i)
    {
        std::snprintf(buf, sizeof buf,
                      "%s%d.%s;%d %10d/%d  %d-%s-%d %02d:%02d:%02d  [SYSTEM]  (RWE,RWE,RE,RE)",
                      i % 5 == 0 ? "SUBDIR" : "DATA", i, i % 5 == 0 ? "DIR" : "TXT", 1 + i % 9, i * 3, i * 4,
                      1 + (i * 7) % 28, MonthsUpper[i % 12], 1990 + i % 30, i % 24, i % 60, i % 60);
        lines.push_back(Widen(buf));
    }
    return lines;
}

std::vector<std::wstring> EplfLines()
{
    std::vector<std::wstring> lines;
    char buf[256];
    for (int i = 0; i < 512; ++i)
    {
        if (i % 5 == 0)
            std::snprintf(buf, sizeof buf, "+i8388621.%d,m%d,/,\tdir%d", i, 824255902 + i * 977, i);
        else
            std::snprintf(buf, sizeof buf, "+i8388621.%d,m%d,r,s%d,\tfile%d.txt", i, 824255902 + i * 977,
                          i * 101, i);
        lines.push_back(Widen(buf));
    }
    return lines;
}

void RunParser(benchmark::State& state, const std::vector<std::wstring>& lines)
{
    nsFTP::CListingParser parser(2024);
    nsFTP::CFTPFileStatus record;
    size_t accepted = 0;
    for (auto _ : state)
    {
        for (const auto& line : lines)
            accepted += parser.Parse(line, record);
        benchmark::DoNotOptimize(record);
    }
    if (accepted != lines.size() * state.iterations())
        state.SkipWithError("a benchmark line was refused");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
}

void BM_Unix(benchmark::State& state)
{
    static const auto lines = UnixLines();
    RunParser(state, lines);
}
void BM_MsDos(benchmark::State& state)
{
    static const auto lines = MsDosLines();
    RunParser(state, lines);
}
void BM_Vms(benchmark::State& state)
{
    static const auto lines = VmsLines();
    RunParser(state, lines);
}
void BM_Eplf(benchmark::State& state)
{
    static const auto lines = EplfLines();
    RunParser(state, lines);
}

// A whole listing as the engine handles it: a new parser (empty date cache)
// and a new record per line.
void BM_UnixFreshListing(benchmark::State& state)
{
    static const auto lines = UnixLines();
    for (auto _ : state)
    {
        nsFTP::CListingParser parser(2024);
        for (const auto& line : lines)
        {
            nsFTP::CFTPFileStatus record;
            benchmark::DoNotOptimize(parser.Parse(line, record));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * lines.size()));
}

BENCHMARK(BM_Unix);
BENCHMARK(BM_MsDos);
BENCHMARK(BM_Vms);
BENCHMARK(BM_Eplf);
BENCHMARK(BM_UnixFreshListing);

} // namespace
