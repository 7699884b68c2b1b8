#pragma once
#include <QString>
#include <QStringList>

namespace platform
{
class IShellOpener;
}

// Finds the help documents (ftp.pdf, ftp.html) and opens them with the
// desktop. They sit next to the program in a build tree, and in
// <program folder>/../share/tessel-ftp-client once installed.
class CHelpDocuments
{
public:
    // The running program's folder unless one is given.
    explicit CHelpDocuments(QString programFolder = {});

    void SetProgramFolder(const QString& folder) { m_programFolder = folder; }
    const QString& ProgramFolder() const { return m_programFolder; }

    // Where the document is looked for, in that order.
    QStringList Candidates(const QString& fileName) const;
    // The first candidate that is a file; empty when there is none.
    QString Locate(const QString& fileName) const;
    // Opens the document; when it cannot be found or opened, an error box says
    // where it was looked for. True when the opener took it.
    bool Open(const QString& fileName, platform::IShellOpener& opener) const;

private:
    QString m_programFolder;
};
