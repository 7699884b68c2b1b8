#include "ConsoleJobHost.h"

#include "platform/ConsoleMessageBoxes.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <unistd.h>

using platform::TextCodec;

namespace nsCli
{

namespace
{
// The replace texts come with Windows line ends; a terminal wants plain ones.
std::string Lines(const std::wstring& text)
{
    std::string bytes = TextCodec::ToUtf8(text);
    std::string result;
    for (char c : bytes)
        if (c != '\r')
            result += c;
    return result;
}
} // namespace

CConsoleJobHost::CConsoleJobHost(JobKind kind, Replace replace, std::FILE* in, std::FILE* err, bool showBar)
    : m_kind(kind), m_replace(replace), m_in(in), m_err(err), m_showBar(showBar),
      m_boxes(platform::Services::MessageBoxes())
{
}

platform::BoxAnswer CConsoleJobHost::Show(const std::wstring& text, platform::BoxIcon icon,
                                          platform::BoxButtons buttons)
{
    EndBarLine();
    return m_boxes.Show(text, icon, buttons);
}

void CConsoleJobHost::ItemText(const std::wstring&) {}

void CConsoleJobHost::SetRange(std::int64_t total)
{
    m_total = total;
}

void CConsoleJobHost::Progress(std::int64_t value)
{
    if (!m_showBar)
        return;
    const std::int64_t done = CTransferJob::CountsBytes(m_kind) ? value : value + 1;
    const int width = 30;
    const int filled =
        m_total > 0 ? static_cast<int>(std::min<std::int64_t>(done * width / m_total, width)) : width;
    const int percent =
        m_total > 0 ? static_cast<int>(std::min<std::int64_t>(done * 100 / m_total, 100)) : 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), '.');
    std::fprintf(m_err, "\r[%s] %3d%% %s\033[K", bar.c_str(), percent,
                 TextCodec::ToUtf8(CTransferJob::ProgressText(m_kind, value, m_total)).c_str());
    std::fflush(m_err);
    m_barDrawn = true;
}

void CConsoleJobHost::EndBarLine()
{
    if (m_barDrawn)
        std::fputc('\n', m_err);
    m_barDrawn = false;
}

bool CConsoleJobHost::AskReplace(bool isDirectory, const std::wstring& name, const std::wstring& serverText,
                                 const std::wstring& localText)
{
    ++m_questions;
    EndBarLine();
    std::fprintf(m_err, "%s \"%s\" already exists.\nOn FTP server: %s\nOn local computer: %s\n",
                 isDirectory ? "The directory" : "The file", TextCodec::ToUtf8(name).c_str(),
                 Lines(serverText).c_str(), Lines(localText).c_str());
    if (m_replace != Replace::Ask)
    {
        std::fprintf(m_err, "%s\n",
                     m_replace == Replace::Always ? "Replacing it (--overwrite)."
                                                  : "Keeping it (--no-overwrite).");
        return m_replace == Replace::Always;
    }
    if (!m_in || !isatty(fileno(m_in)))
    {
        std::fprintf(m_err, "Not replaced: give --overwrite or --no-overwrite.\n");
        return false;
    }
    std::fprintf(m_err, "Replace it? [y/N] ");
    std::fflush(m_err);
    char line[16] = "";
    if (!std::fgets(line, sizeof line, m_in))
        return false;
    return line[0] == 'y' || line[0] == 'Y';
}

bool CConsoleJobHost::AskGoOn(const std::wstring& text)
{
    ++m_questions;
    EndBarLine();
    // The text carries the server's words: no control character reaches the terminal.
    std::fprintf(m_err, "%s\n", platform::ConsoleMessageBoxes::TerminalText(text).c_str());
    if (!m_in || !isatty(fileno(m_in)))
    {
        std::fprintf(m_err, "Going on: nobody is there to answer.\n");
        return true;
    }
    std::fprintf(m_err, "Go on? [Y/n] ");
    std::fflush(m_err);
    char line[16] = "";
    if (!std::fgets(line, sizeof line, m_in))
        return true;
    return line[0] != 'n' && line[0] != 'N';
}

void CConsoleJobHost::Ended(JobResult)
{
    EndBarLine();
    std::fflush(m_err);
}

} // namespace nsCli
