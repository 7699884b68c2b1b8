#pragma once
#include "files/RemoteBrowser.h"

#include <QToolBar>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

// The filter bar: "Filter:", the filter text, the show choice, the type
// choice and Hide. Every change of the text or of either choice is reported
// at once, so the list follows each keystroke.
class CDialogBarEx : public QToolBar
{
    Q_OBJECT
public:
    explicit CDialogBarEx(QWidget* parent = nullptr);

    QLineEdit* FilterText() const { return m_text; }
    QComboBox* ShowChoice() const { return m_show; }
    QComboBox* TypeChoice() const { return m_type; }
    QPushButton* HideButton() const { return m_hide; }

    // The choices as the browser takes them.
    BrowserFilter Filter() const;
    // While "Show All Types" is chosen, the type list becomes that entry and
    // these types; while a type is chosen it stays as it is.
    void SetTypes(const std::vector<std::wstring>& types);

signals:
    // The filter changed: the list is to be filled again from what it holds.
    void Changed();
    void HideRequested();

private:
    QLineEdit* m_text;
    QComboBox* m_show;
    QComboBox* m_type;
    QPushButton* m_hide;
};
