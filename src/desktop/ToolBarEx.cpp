#include "ToolBarEx.h"

#include "widgets/SvgIcon.h"

#include <QAction>
#include <QToolButton>

CToolBarEx::CToolBarEx(QWidget* parent) : QToolBar("Toolbar", parent)
{
    setObjectName("ToolBar");
    setIconSize(QSize(ImageSize, ImageSize));
    setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    setContentsMargins(1, 1, 1, 1);
}

void CToolBarEx::SetButtons(const std::vector<QAction*>& buttons)
{
    clear();
    for (QAction* action : buttons)
    {
        if (action)
            addAction(action);
        else
            addSeparator();
    }
    EvenButtonSizes();
}

void CToolBarEx::EvenButtonSizes()
{
    // Every button as wide as the widest label and as tall as the tallest.
    QSize largest;
    std::vector<QToolButton*> tools;
    for (QAction* action : actions())
        if (auto* tool = qobject_cast<QToolButton*>(widgetForAction(action)))
        {
            tools.push_back(tool);
            largest = largest.expandedTo(tool->sizeHint());
        }
    for (QToolButton* tool : tools)
        tool->setMinimumSize(largest);
}

void CToolBarEx::Label(QAction* action, const QString& label, const QString& image)
{
    action->setIconText(label);
    action->setToolTip(label);
    action->setStatusTip(label);
    action->setIcon(Image(image));
}

QIcon CToolBarEx::Image(const QString& name)
{
    return CSvgIcon::Render(QString(":/toolbar/%1.svg").arg(name), {ImageSize, 2 * ImageSize});
}
