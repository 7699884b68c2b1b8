#pragma once
#include <QIcon>
#include <QString>
#include <initializer_list>

// Icons drawn once as SVG and rendered at every size asked for, so none looks
// blurred. Rendered here rather than through an image plugin the desktop may lack.
class CSvgIcon
{
public:
    // An empty icon when the resource is missing or not valid SVG.
    static QIcon Render(const QString& resource, std::initializer_list<int> sizes);
};
