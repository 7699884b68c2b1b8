#pragma once
#include <QIcon>
#include <QToolBar>
#include <vector>

class QAction;

// The main toolbar: flat buttons with their label under a 32 by 32 image, all
// of one size, with tooltips; hovering a button puts its label in status pane 0.
class CToolBarEx : public QToolBar
{
    Q_OBJECT
public:
    explicit CToolBarEx(QWidget* parent = nullptr);

    static constexpr int ImageSize = 32;

    // Null entries become separators.
    void SetButtons(const std::vector<QAction*>& buttons);

    // Gives an action its button label (also its tooltip and status prompt)
    // and the image of that name from the toolbar's images.
    static void Label(QAction* action, const QString& label, const QString& image);
    // The image drawn at 32 and 64 pixels; a null icon when it cannot be drawn.
    static QIcon Image(const QString& name);

private:
    void EvenButtonSizes();
};
