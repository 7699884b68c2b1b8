#pragma once
#include "BrowserRow.h"
#include "FindCriteria.h"
#include "IFindReport.h"
#include "NameTest.h"
#include "ftp/NameCodec.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

class CSiteConnection;
class CTransferList;

// How a search ended, and what it met on the way.
struct FindOutcome
{
    enum End
    {
        Completed,
        // Stop was asked for (or the engine's waits were stopped).
        Stopped,
        ConnectionLost,
        TooManyResults,
        // The folder to search could not be listed at all.
        NotListed
    };
    End end = Completed;
    long long examined = 0;
    long long found = 0;
    // Folders that could not be listed, and the first of them.
    long long unreadable = 0;
    std::wstring firstUnreadable;
    // The server's or the system's text for the first unreadable folder, or
    // for the failure that ended the search.
    std::wstring why;
    // Folders deeper than MaxDepth were met and left alone.
    bool tooDeep = false;
};

// Searches a remote tree by name: depth first, each folder's entries in the
// browser's order (folders first, then names ignoring case), every entry
// tested on its listed name, folders entered when asked for. Links are
// tested but never entered, so neither a link loop nor a server that reads
// "name -> target" as a path can lead it round in circles.
//
// Holds no widget and runs on the calling thread: the Find dialog runs it on
// a thread of its own, tessel-cli where it stands. While it runs the site
// connection is marked busy, so the keep-alive leaves the engine alone. The
// engine's failures are kept, not shown: an unreadable folder is counted.
class CRemoteFind
{
public:
    // As deep as a transfer list goes.
    static constexpr int MaxDepth = 64;
    static constexpr long long MaxResults = 100000;
    // Results and the entry being looked at are reported at most this often.
    static constexpr std::chrono::milliseconds ReportInterval{50};

    // The criteria are copied: the caller may change its own meanwhile.
    CRemoteFind(CSiteConnection& connection, FindCriteria criteria, IFindReport& report);

    // Searches the rows of folder (as the browser shows them) and below.
    FindOutcome Run(const std::wstring& folder, const std::vector<BrowserRow>& rows);
    // Lists folder first.
    FindOutcome Run(const std::wstring& folder);

    // From any thread: the walk ends before the next entry. A listing under
    // way is finished first, so the connection stays usable; Stop of the site
    // connection ends a stalled one at once, and the connection with it.
    void Stop() { m_stop.store(true); }

    // Every name a search shows goes through here: the site's names codec
    // reads it for people.
    static std::wstring ForPeople(const std::wstring& remote,
                                  const nsFTP::CNameCodec& names = nsFTP::CNameCodec());
    // The folder joined with the listed name, as people read it.
    static std::wstring ShownPath(const BrowserRow& row,
                                  const nsFTP::CNameCodec& names = nsFTP::CNameCodec());
    // The row of rows that is the found entry: the same listed text, else the
    // same name, exactly; -1 when none is.
    static int RowFor(const std::vector<BrowserRow>& rows, const BrowserRow& found);
    // The delete list of picked results, links kept as links. A result inside
    // a picked folder is left to the folder, so nothing is deleted twice.
    static std::unique_ptr<CTransferList> DeleteList(CSiteConnection& connection,
                                                     const std::vector<BrowserRow>& rows);
    // What the status line says when the search has ended; empty when there
    // is nothing to tell.
    static std::wstring EndText(const FindOutcome& outcome);

private:
    FindOutcome Finish();
    // False when the search must end; m_outcome says why.
    bool Walk(const std::wstring& folder, std::vector<FoundEntry>& entries, int level);
    bool ListFolder(const std::wstring& folder, std::vector<FoundEntry>& entries, std::wstring& why);
    bool Stopping() const;
    // Reports the batch and the entry when the interval has passed; before a
    // listing, which may take long, the batch goes at once.
    void MaybeReport(const BrowserRow& row, bool beforeListing);
    void Flush();

    CSiteConnection& m_connection;
    const FindCriteria m_criteria;
    const CNameTest m_test;
    IFindReport& m_report;
    std::atomic<bool> m_stop{false};
    FindOutcome m_outcome;
    std::vector<FoundEntry> m_pending;
    std::chrono::steady_clock::time_point m_nextReport{};
};
