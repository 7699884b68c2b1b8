#pragma once
#include "BrowserRow.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CRemoteBrowser;
class CSiteConnection;
class IEngineRunner;
class IFileCommandHost;

// The file commands on the server: New Directory, Rename, Delete, Move To,
// CHMOD and Properties. Each takes the rows the user picked (indexes into the
// browser's rows, in list order), does nothing unless the site is connected,
// asks through the host, runs its engine work through the runner and its jobs
// through the host, and leaves the browser showing the result. It holds no
// widget, so both programs use it with their own dialogs.
class CRemoteCommands
{
public:
    CRemoteCommands(CSiteConnection& connection, IEngineRunner& runner, CRemoteBrowser& browser,
                    IFileCommandHost& host);
    CRemoteCommands(const CRemoteCommands&) = delete;
    CRemoteCommands& operator=(const CRemoteCommands&) = delete;

    // MKD inside the first picked row when it is a folder, else in the current
    // folder; the browser then shows the folder the new one was made in.
    void NewDirectory(const std::vector<int>& picked);
    // RNFR/RNTO of the first picked row within its folder.
    void Rename(const std::vector<int>& picked);
    // After a question, the delete job; links go as links.
    void Delete(const std::vector<int>& picked);
    // The move job into a typed folder, resolved against the current one.
    void MoveTo(const std::vector<int>& picked);
    // SITE CHMOD for every picked row, then one refresh.
    void Chmod(const std::vector<int>& picked);
    void Properties(const std::vector<int>& picked);

    static const std::wstring DeleteQuestion;
    static const std::wstring BadNameText;
    static const std::wstring BadModeText;
    static const std::wstring BadTargetText;

    // "%s (%d bytes)" with the size text and the byte count; empty when the
    // size is unknown.
    static std::wstring SizeWithBytes(std::int64_t size);

private:
    // Connected, and the browser holds the folder the rows came from.
    bool Ready() const;
    // Copies of the picked rows that still exist, in the order given.
    std::vector<BrowserRow> PickedRows(const std::vector<int>& picked) const;
    // Engine work on the runner; when it returns true the current folder is
    // read again in the same run and shown.
    void RunThenShow(const std::wstring& what, const std::function<bool()>& work);

    CSiteConnection& m_connection;
    IEngineRunner& m_runner;
    CRemoteBrowser& m_browser;
    IFileCommandHost& m_host;
};
