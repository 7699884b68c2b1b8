#pragma once
#include <QDialog>
#include <array>
#include <string>

class QCheckBox;
class QLineEdit;

// "Change File(s) Attributes": read, write and execute for owner, group and
// public, and the manual value they add up to. Each click on a box writes the
// value anew; the value may then be edited by hand, and is what OK returns.
// OK takes only three or four octal digits.
class CFileAttributes : public QDialog
{
    Q_OBJECT
public:
    // The boxes start from preset (a CFileMode value); its special bits, which
    // have no box, stay in the value.
    explicit CFileAttributes(int preset = 0644, QWidget* parent = nullptr);

    // Owner, group and public, each read, write, execute.
    QCheckBox* Box(int who, int right) const { return m_boxes[who * 3 + right]; }
    QLineEdit* ManualValue() const { return m_manual; }
    // After OK: the manual value, trimmed.
    const std::wstring& Value() const { return m_value; }

    void accept() override;

private:
    void BoxesToValue();

    std::array<QCheckBox*, 9> m_boxes{};
    QLineEdit* m_manual;
    int m_special;
    std::wstring m_value;
};
