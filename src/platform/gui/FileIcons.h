#pragma once
#include <QIcon>
#include <QString>

namespace platform
{

// Icons for files and folders by name alone, without touching the disk. Icons
// are looked up once per kind (folder, file type) and shared; interface thread only.
class FileIcons
{
public:
    static QIcon Folder();
    // By the name's type where the icon theme knows it, else the generic file icon.
    static QIcon ForFileName(const QString& name);
    static QIcon For(bool isDirectory, const QString& name)
    {
        return isDirectory ? Folder() : ForFileName(name);
    }
};

} // namespace platform
