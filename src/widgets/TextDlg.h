#pragma once
#include <QDialog>
#include <string>

class QLineEdit;

// The one-line prompt: a title, a preset text, OK and Cancel. After OK the text
// holds exactly what was typed (callers do their own checks); after Cancel it
// keeps the preset.
class CTextDlg : public QDialog
{
    Q_OBJECT
public:
    CTextDlg(std::wstring title, std::wstring text, QWidget* parent = nullptr);

    // Limits what can be typed (0: no limit).
    void SetMaxLength(int characters);
    QLineEdit* Edit() const { return m_edit; }

    std::wstring m_title;
    std::wstring m_text;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* m_edit;
};
