#include "HelpDocuments.h"

#include "platform/IShellOpener.h"
#include "platform/Services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <utility>

CHelpDocuments::CHelpDocuments(QString programFolder) : m_programFolder(std::move(programFolder))
{
    if (m_programFolder.isEmpty())
        m_programFolder = QCoreApplication::applicationDirPath();
}

QStringList CHelpDocuments::Candidates(const QString& fileName) const
{
    return {QDir::cleanPath(m_programFolder + "/" + fileName),
            QDir::cleanPath(m_programFolder + "/../share/tessel-ftp-client/" + fileName)};
}

QString CHelpDocuments::Locate(const QString& fileName) const
{
    for (const QString& candidate : Candidates(fileName))
        if (QFileInfo(candidate).isFile())
            return candidate;
    return {};
}

bool CHelpDocuments::Open(const QString& fileName, platform::IShellOpener& opener) const
{
    const QString path = Locate(fileName);
    if (path.isEmpty())
    {
        platform::Services::ShowError(QString("The help document %1 was not found. It was looked for as:\n%2")
                                          .arg(fileName, Candidates(fileName).join('\n'))
                                          .toStdWString());
        return false;
    }
    if (!opener.Open(QDir::toNativeSeparators(path).toStdWString()))
    {
        platform::Services::ShowError(
            QString("No program could open the help document\n%1").arg(path).toStdWString());
        return false;
    }
    return true;
}
