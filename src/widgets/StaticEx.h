#pragma once
#include <QIcon>
#include <QWidget>

// A small control that shows one icon at its top-left corner at the standard
// icon size, on the button-face colour.
class CStaticEx : public QWidget
{
    Q_OBJECT
public:
    explicit CStaticEx(QWidget* parent = nullptr);

    void SetIcon(const QIcon& icon);
    const QIcon& Icon() const { return m_icon; }
    static int IconSize();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon m_icon;
};
