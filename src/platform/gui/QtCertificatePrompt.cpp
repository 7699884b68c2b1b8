#include "QtCertificatePrompt.h"

#include "QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace platform
{
namespace
{

bool AskHere(const CertificateQuestion& question)
{
    QMessageBox box(QtMessageBoxes::Owner());
    box.setObjectName("certificateQuestion");
    box.setWindowTitle(QStringLiteral("Tessel FTP Client"));
    box.setIcon(QMessageBox::Warning);
    // Certificate names come from the server: never read as markup.
    box.setTextFormat(Qt::PlainText);
    QString text = QStringLiteral("The certificate of %1 could not be verified:\n")
                       .arg(QString::fromStdWString(question.host));
    for (const auto& problem : question.problems)
        text += QStringLiteral("\n") + QString::fromStdWString(problem);
    text +=
        QStringLiteral(
            "\n\nSubject: %1\nIssuer: %2\nValid from: %3\nValid until: %4\nSHA-256 fingerprint:\n%5")
            .arg(QString::fromStdWString(question.subject), QString::fromStdWString(question.issuer),
                 QString::fromStdWString(question.validFrom), QString::fromStdWString(question.validUntil),
                 QString::fromStdWString(question.fingerprint));
    text += QStringLiteral("\n\nTrust it only if you know that this is the server's certificate. A trusted "
                           "certificate is remembered for this site.");
    box.setText(text);
    QPushButton* trust = box.addButton(QStringLiteral("Trust this certificate"), QMessageBox::AcceptRole);
    trust->setObjectName("trust");
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == trust;
}

} // namespace

bool QtCertificatePrompt::TrustCertificate(const CertificateQuestion& question)
{
    auto* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return AskHere(question);
    bool trusted = false;
    QMetaObject::invokeMethod(
        app, [&] { trusted = AskHere(question); }, Qt::BlockingQueuedConnection);
    return trusted;
}

} // namespace platform
