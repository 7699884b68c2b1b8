#pragma once

class QDialog;
class QScrollArea;
class QWidget;

// Which form the shared dialogs take when they are built: the desktop's, or
// the handheld's, with its own titles and labels, OK and Cancel on the dialog
// wherever a handheld's title bar used to carry OK, and contents that scroll
// on a screen smaller than they are. A program chooses once at start-up,
// before any dialog is made; the desktop form is the default.
class CDialogProfile
{
public:
    enum Kind
    {
        Desktop,
        Handheld
    };
    static void Set(Kind kind);
    static Kind Current();
    static bool IsHandheld() { return Current() == Handheld; }

    // The widget a dialog lays its contents out on. On the desktop that is
    // the dialog itself. In the handheld form it is a page in a scroll area
    // that fills the dialog: the dialog opens at the page's size, but never
    // larger than the screen, and whatever does not fit scrolls.
    static QWidget* Page(QDialog* dialog);
    // The scroll area of a handheld dialog's page; none on the desktop.
    static QScrollArea* ScrollArea(const QDialog* dialog);
    // A width the desktop form keeps at least; the handheld form leaves the
    // width to the contents and the screen.
    static void SetMinimumWidth(QDialog* dialog, int width);
};
