#pragma once
#include <QToolBar>

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
