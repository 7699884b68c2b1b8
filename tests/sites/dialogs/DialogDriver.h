#pragma once
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>

namespace testing_support
{

// Acts on the next visible window of type T once the event loop (a modal
// dialog's or a menu's) runs. When none shows up, every modal window is
// closed so the test fails instead of hanging.
template <class T> void WhenShown(std::function<void(T&)> act, int attempts = 4000)
{
    QTimer::singleShot(5,
                       [act, attempts]
                       {
                           for (QWidget* window : QApplication::topLevelWidgets())
                               if (auto* wanted = qobject_cast<T*>(window); wanted && wanted->isVisible())
                               {
                                   act(*wanted);
                                   return;
                               }
                           if (attempts > 0)
                               return WhenShown<T>(act, attempts - 1);
                           ADD_FAILURE()
                               << "expected window " << T::staticMetaObject.className() << " never showed";
                           while (QWidget* modal = QApplication::activeModalWidget())
                               modal->close();
                       });
}

// Picks the entry with that text from the next pop-up menu.
inline void ChooseFromMenu(const QString& text)
{
    WhenShown<QMenu>(
        [text](QMenu& menu)
        {
            for (QAction* action : menu.actions())
                if (action->text() == text)
                {
                    menu.setActiveAction(action);
                    QTest::keyClick(&menu, Qt::Key_Return);
                    return;
                }
            ADD_FAILURE() << "no menu entry " << text.toStdString();
            menu.close();
        });
}

inline void ClickOk(QDialog& dialog)
{
    dialog.findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly)
        ->button(QDialogButtonBox::Ok)
        ->click();
}

} // namespace testing_support
