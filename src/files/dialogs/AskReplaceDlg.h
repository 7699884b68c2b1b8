#pragma once
#include <QDialog>
#include <string>

class CStaticEx;
class QLabel;

// "Confirm Replace": asks whether a picked file or folder that already exists
// at the destination may be replaced. Accepted means replace.
class CAskReplaceDlg : public QDialog
{
    Q_OBJECT
public:
    CAskReplaceDlg(QWidget* owner, bool isDirectory, const std::wstring& name, const std::wstring& serverText,
                   const std::wstring& localText);

    QString InformationText() const;
    QString ServerText() const;
    QString LocalText() const;
    const CStaticEx* IconControl() const { return m_icon; }

private:
    CStaticEx* m_icon;
    QLabel* m_information;
    QLabel* m_server;
    QLabel* m_local;
};
