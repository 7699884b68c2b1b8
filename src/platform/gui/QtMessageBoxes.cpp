#include "QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

namespace platform
{
namespace
{
QPointer<QWidget> g_owner;

BoxAnswer ShowHere(const QString& text, BoxIcon icon, BoxButtons buttons)
{
    QMessageBox box(g_owner.data());
    box.setWindowTitle(QStringLiteral("Tessel FTP Client"));
    // Texts come from servers and file names: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (icon)
    {
    case BoxIcon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case BoxIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case BoxIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case BoxIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    if (buttons == BoxButtons::OkCancel)
    {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
    }
    else
        box.setStandardButtons(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? BoxAnswer::Ok : BoxAnswer::Cancel;
}
} // namespace

BoxAnswer QtMessageBoxes::Show(const std::wstring& text, BoxIcon icon, BoxButtons buttons)
{
    const QString qtext = QString::fromStdWString(text);
    auto* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return ShowHere(qtext, icon, buttons);
    BoxAnswer answer = BoxAnswer::Cancel;
    QMetaObject::invokeMethod(
        app, [&] { answer = ShowHere(qtext, icon, buttons); }, Qt::BlockingQueuedConnection);
    return answer;
}

void QtMessageBoxes::SetOwner(QWidget* owner)
{
    g_owner = owner;
}

QWidget* QtMessageBoxes::Owner()
{
    return g_owner.data();
}

} // namespace platform
