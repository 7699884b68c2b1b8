#include "CommandDialogs.h"

#include "FileAttributes.h"
#include "PropDlg.h"
#include "UploadDlg.h"
#include "files/TransferList.h"
#include "widgets/TextDlg.h"

bool CCommandDialogs::Prompt(const std::wstring& title, std::wstring& text)
{
    CTextDlg prompt(title, text, m_parent);
    if (prompt.exec() != QDialog::Accepted)
        return false;
    text = prompt.m_text;
    return true;
}

bool CCommandDialogs::ChooseMode(int preset, std::wstring& mode)
{
    CFileAttributes attributes(preset, m_parent);
    if (attributes.exec() != QDialog::Accepted)
        return false;
    mode = attributes.Value();
    return true;
}

void CCommandDialogs::ShowProperties(const FileProperties& properties)
{
    CPropDlg dialog(properties, m_parent);
    dialog.exec();
}

JobResult CCommandDialogs::RunJob(std::unique_ptr<CTransferList> list, const std::wstring& destination,
                                  JobKind kind)
{
    CSiteConnection* connection = list ? list->Connection() : nullptr;
    CUploadDlg dialog(connection, std::move(list), destination, kind, m_parent);
    return dialog.exec() == QDialog::Accepted ? JobResult::Ok : JobResult::Cancel;
}
