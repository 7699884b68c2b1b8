#pragma once

class QLineEdit;

// What a text field tells an on-screen keyboard about what it takes, so the
// keyboard neither capitalises a path nor learns a password.
class CInputHints
{
public:
    // Paths, file names, host names and logins: typed as they are meant.
    static void Verbatim(QLineEdit* edit);
    // Passwords: hidden and sensitive, never suggested or remembered.
    static void Secret(QLineEdit* edit);
    // Ports and timeouts.
    static void Number(QLineEdit* edit);
};
