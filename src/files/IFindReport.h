#pragma once
#include "BrowserRow.h"
#include "ftp/FTPFileStatus.h"
#include "ftp/RCIPtr.h"

#include <string>
#include <vector>

// One entry a search found: its row (path is the folder that holds it) and
// the listing record it came from, which is null for the rows a search was
// handed to start from.
struct FoundEntry
{
    BrowserRow row;
    nsSP::RCIPtr<nsFTP::CFTPFileStatus> record;
};

// What a search tells whoever shows it. Every call comes from the thread that
// runs the search, at most once every CRemoteFind::ReportInterval except for
// the last batch.
class IFindReport
{
public:
    virtual ~IFindReport() = default;
    // The entries found since the last call, in the order found.
    virtual void Found(std::vector<FoundEntry> entries) = 0;
    // The full path (as people read it) of the entry being looked at.
    virtual void Examining(const std::wstring& path) = 0;
    // A folder that could not be listed, and the server's or the system's reason.
    virtual void Unreadable(const std::wstring& folder, const std::wstring& why)
    {
        (void)folder;
        (void)why;
    }
};
