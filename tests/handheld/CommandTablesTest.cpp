// The commands of wharf and skiff side by side: skiff has the desktop's
// commands under the same names and keys, less those of the desktop's own
// shell (clipboard with the file manager, filter bar, status bar, help
// documents), and none of its own but "Set Temp Directory"'s place in Tools.
#include "desktop/MainFrame.h"
#include "desktop/WharfDoc.h"
#include "handheld/MainFrame.h"
#include "handheld/SkiffDoc.h"
#include "widgets/DialogProfile.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <gmock/gmock.h>
#include <map>
#include <set>

// Failures name the commands.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << text.toStdString();
}

namespace
{
// Every command of a menu tree in menu order: its path of texts without "&"
// ("File/Connect..."), and its key.
void Collect(const QList<QAction*>& actions, const QString& menu, std::vector<QString>& order,
             std::map<QString, QString>& commands)
{
    for (QAction* action : actions)
    {
        if (action->isSeparator())
            continue;
        // wharf shows a key of its list after a tab in the text.
        const QString text = action->text().remove('&').section('\t', 0, 0);
        const QString listKey = action->text().section('\t', 1).trimmed();
        if (action->menu())
        {
            Collect(action->menu()->actions(), menu.isEmpty() ? text : menu + "/" + text, order, commands);
            continue;
        }
        order.push_back(menu + "/" + text);
        commands[text] = action->shortcut().isEmpty() ? listKey : action->shortcut().toString();
    }
}

std::set<QString> Names(const std::map<QString, QString>& commands)
{
    std::set<QString> names;
    for (const auto& [name, key] : commands)
        names.insert(name);
    return names;
}
} // namespace

TEST(CommandTables, WharfAndSkiffDifferOnlyWhereTheHandheldShellDiffers)
{
    std::map<QString, QString> wharf, skiff;
    std::vector<QString> wharfOrder, skiffOrder;
    {
        CWharfDoc doc;
        CMainFrame frame(doc);
        Collect(frame.menuBar()->actions(), {}, wharfOrder, wharf);
    }
    {
        CDialogProfile::Set(CDialogProfile::Handheld);
        nsHandheld::CSkiffDoc doc;
        nsHandheld::CMainFrame frame(doc);
        // skiff's one "Menu" holds the menus wharf puts in its menu bar.
        Collect(frame.Menu()->actions(), {}, skiffOrder, skiff);
        CDialogProfile::Set(CDialogProfile::Desktop);
    }
    std::set<QString> onlyWharf, onlySkiff;
    for (const QString& name : Names(wharf))
        if (!skiff.count(name))
            onlyWharf.insert(name);
    for (const QString& name : Names(skiff))
        if (!wharf.count(name))
            onlySkiff.insert(name);
    EXPECT_THAT(onlySkiff, testing::IsEmpty());
    // The desktop shell's bars and help documents.
    EXPECT_THAT(onlyWharf, testing::UnorderedElementsAre("Toolbar", "Filter", "Status Bar",
                                                         "Overview of Tessel FTP Client (PDF)",
                                                         "Tessel FTP Client Manual"));
    // The rest in the same menus and the same order.
    std::vector<QString> shared;
    for (const QString& path : wharfOrder)
        if (!onlyWharf.count(path.section('/', -1)))
            shared.push_back(path);
    EXPECT_EQ(skiffOrder, shared);
    // A key skiff keeps is the desktop's key for the same command.
    for (const auto& [name, key] : skiff)
        if (!key.isEmpty())
            EXPECT_EQ(key, wharf[name]) << name.toStdString();
    EXPECT_EQ(skiff["Copy"], "Ctrl+C");
    EXPECT_EQ(skiff["Paste"], "Ctrl+V");
}
