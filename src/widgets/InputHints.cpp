#include "InputHints.h"

#include <QLineEdit>

void CInputHints::Verbatim(QLineEdit* edit)
{
    edit->setInputMethodHints(edit->inputMethodHints() | Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText |
                              Qt::ImhPreferLowercase);
}

void CInputHints::Secret(QLineEdit* edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setInputMethodHints(edit->inputMethodHints() | Qt::ImhHiddenText | Qt::ImhSensitiveData |
                              Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText);
}

void CInputHints::Number(QLineEdit* edit)
{
    edit->setInputMethodHints(edit->inputMethodHints() | Qt::ImhDigitsOnly);
}
