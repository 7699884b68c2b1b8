#pragma once
#include <string>
#include <vector>

class CLocalBrowser;
class CTransferList;
class IFileCommandHost;

// The file commands on this device's own files, for the handheld's local
// list: New Directory, Rename, Delete, Move To and Properties. Each takes the
// rows the user picked (indexes into the local browser's rows), asks through
// the host, runs deletes and moves as jobs through it, and leaves the browser
// showing the result. They touch the local disk only, never a server.
class CLocalCommands
{
public:
    CLocalCommands(CLocalBrowser& browser, IFileCommandHost& host);
    CLocalCommands(const CLocalCommands&) = delete;
    CLocalCommands& operator=(const CLocalCommands&) = delete;

    // Inside the first picked row when it is a folder, else in the current
    // folder; the browser then shows the folder the new one was made in.
    void NewDirectory(const std::vector<int>& picked);
    // Within the current folder; a name that is there already is refused.
    void Rename(const std::vector<int>& picked);
    // After a question, the delete job; links go as links.
    void Delete(const std::vector<int>& picked);
    // The move job into a typed folder, taken below the current one when
    // relative; what is there already is replaced only after a question.
    void MoveTo(const std::vector<int>& picked);
    void Properties(const std::vector<int>& picked);

    static const std::wstring DeleteQuestion;
    static const std::wstring BadNameText;
    static const std::wstring BadTargetText;

private:
    // The picked rows that exist, in list order, without repeats.
    std::vector<int> Picked(const std::vector<int>& picked) const;
    // False, after saying why, when a picked entry cannot go into a job.
    bool FillList(CTransferList& list, const std::vector<int>& rows) const;

    CLocalBrowser& m_browser;
    IFileCommandHost& m_host;
};
