#pragma once
#include "files/FileProperties.h"

#include <QDialog>

class CStaticEx;
class QCheckBox;
class QLabel;
class QPushButton;

// "Properties" of one entry: its icon, name, folder, size and time, and for a
// server's entry its attribute and owner texts, for a local one the Read
// Only, Hidden and System boxes. Nothing in it is applied; Esc or the close
// box closes it.
class CPropDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CPropDlg(const FileProperties& properties, QWidget* parent = nullptr);

    const CStaticEx* IconControl() const { return m_icon; }
    QString NameText() const;
    QString PathText() const;
    QString SizeText() const;
    QString ModifiedText() const;
    QString AttributesText() const;
    QString OwnerText() const;
    QLabel* AttributesLabel() const { return m_attributesLabel; }
    QLabel* OwnerLabel() const { return m_ownerLabel; }
    QCheckBox* ReadOnlyBox() const { return m_readOnly; }
    QCheckBox* HiddenBox() const { return m_hidden; }
    QCheckBox* SystemBox() const { return m_system; }
    // The handheld form's OK; none on the desktop.
    QPushButton* OkButton() const { return m_ok; }

private:
    CStaticEx* m_icon;
    QLabel* m_name;
    QLabel* m_path;
    QLabel* m_size;
    QLabel* m_modified;
    QLabel* m_attributesLabel;
    QLabel* m_attributes;
    QLabel* m_ownerLabel;
    QLabel* m_owner;
    QCheckBox* m_readOnly;
    QCheckBox* m_hidden;
    QCheckBox* m_system;
    QPushButton* m_ok = nullptr;
};
