// Saved credentials and the sign-in options: what this computer remembers of its account,
// automatic sign-in, the automatic press of the sign-in button, and signing out.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Helpers.h"
#include "core/StringList.h"
#include "net/XNetDetect.h"
#include "session/ClientSession.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

void TNetwork::tightenSavedFiles()
{
    // Earlier versions left these readable by every local account; they hold passwords and
    // the shared server's login.
    const Folders f = m_ctx.folders();
    for (const QString& path :
         {f.userDataDir + store::local::kAccountRecord, f.userDataDir + store::local::kPassword,
          f.tempDataDir + store::local::kPasswordCopy,
          f.tempDataDir + store::local::kPeerRecordCopy,
          f.tempDataDir + store::local::kSettingsCopy})
        helpers::makePrivateFile(path);
}

void TNetwork::loadSavedAccount()
{
    const Folders f = m_ctx.folders();
    if (const auto record = stringlist::load(f.userDataDir + store::local::kAccountRecord))
        mem = store::AccountRecord::fromLines(*record);
    if (const auto password = stringlist::load(f.userDataDir + store::local::kPassword))
        acc2 = password->value(0);
}

void TNetwork::SaveACC()
{
    const QString path = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    if (!helpers::fileInUse(path))
        stringlist::savePrivate(path, mem.toLines());
}

void TNetwork::checkGuarded(std::initializer_list<QRadioButton*> guarded, QRadioButton* button)
{
    if (!button)
        return;
    // Checking a button runs its handler, as a click would; the guarded ones only take note.
    const bool guard = std::find(guarded.begin(), guarded.end(), button) != guarded.end();
    const bool wasGuarded = m_optionGuard;
    m_optionGuard = guard;
    button->setChecked(true);
    if (button == c1)
        c1Click();
    else if (button == c2)
        c2Click();
    else if (button == c3)
        c3Click();
    else if (button == m2)
        m2Click();
    else if (button == m3)
        m3Click();
    m_optionGuard = wasGuarded;
}

void TNetwork::checkOption(QRadioButton* button)
{
    checkGuarded({}, button);
}

namespace {

void forgetPassword(const QString& userDataDir)
{
    QFile::remove(userDataDir + store::local::kPassword);
}

} // namespace

namespace {

// The focus goes where the user will type next: the password when a name stands there.
void focusNextBox(QLineEdit* username, QLineEdit* pass, bool nameTyped)
{
    QLineEdit* box = nameTyped ? pass : username;
    box->setFocus();
    box->selectAll();
}

} // namespace

void TNetwork::chooseOption(const QString& option)
{
    mem.option = option;
    SaveACC();
    forgetPassword(m_ctx.folders().userDataDir);
}

void TNetwork::c1Click()
{
    AutologinDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(username, pass, usernameHoldsName());
}

void TNetwork::c2Click()
{
    AutologinDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(username, pass, usernameHoldsName());
    chooseOption(QStringLiteral("nopass"));
}

void TNetwork::c3Click()
{
    AutologinDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(username, pass, usernameHoldsName());
    chooseOption(QStringLiteral("x"));
}

void TNetwork::m2Click()
{
    if (!m_optionGuard)
        chooseOption(QStringLiteral("nopass"));
}

void TNetwork::m3Click()
{
    if (m_optionGuard)
        return;
    mem.userName.clear();
    username->setText(m_ctx.text(129));
    chooseOption(QStringLiteral("x"));
}

void TNetwork::FormShowSignIn()
{
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    const auto offerName = [this] {
        if (usernameHoldsName()) {
            RegShow();
            pass->setFocus();
        } else {
            username->setText(m_ctx.text(129));
            username->setFocus();
            username->selectAll();
        }
    };
    if (mem.option == u"nopass") {
        username->setText(mem.userName);
        pass->setFocus();
    }
    if (mem.option == u"x" || !QFile::exists(record))
        offerName();
    if (m_signedIn)
        return;
    if (!username->isHidden())
        username->selectAll();
    if (AutologinDone)
        return;
    if (!QFile::exists(record))
        RegShow();
    if (mem.option == u"autologin")
        return;
    if (mem.option == u"x") {
        username->setText(mem.userName);
        offerName();
    }
}

void TNetwork::autologin()
{
    if (!connected())
        return;
    if (mem.option != u"autologin" || AutologinDone || signedInMark == 1 || m_signedOut) {
        session().closeMain();
        return;
    }
    AutologinDone = true;
    const Folders f = m_ctx.folders();
    const QString record = f.userDataDir + store::local::kAccountRecord;
    if (!QFile::exists(record)) {
        checkGuarded({m2, m3}, c1);
        return;
    }
    loadSavedAccount();
    if (!QFile::exists(f.userDataDir + store::local::kPassword)) {
        session().closeMain();
        return;
    }
    if (mem.option != u"autologin")
        return;
    typedPassword = acc2;
    session().autoSignIn({mem, acc2, m_directory.userst()});
}

void TNetwork::onAutoSignedIn(const AutoSignInResult& result)
{
    applyDirectory(result.connect);
    if (result.error.failed()) {
        // The application's error report.
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (result.outcome == AutoSignInResult::Outcome::NoConnection)
        return;
    username->setText(mem.userName);
    if (result.outcome == AutoSignInResult::Outcome::Accepted)
        SystemShow(result.avatarFile);
    else
        RegShow();
}

void TNetwork::Timer4Timer()
{
    if (!connected()) {
        XNetDetect1->setEnabled(true);
        XNetDetect1->requestCheck();
        return;
    }
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    if (!session().mainOpen() && session().idle() && QFile::exists(record) &&
        mem.option == u"autologin" && !pass->isHidden() && !Timer2->isActive() &&
        !m_signInRunning) {
        username->setText(mem.userName);
        pass->setEchoMode(QLineEdit::Password);
        pass->setText(acc2);
        typedPassword = acc2;
        if (connected()) {
            autologin();
            Button2Click();
        }
    }
}

void TNetwork::autoSignInFromRecord()
{
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    const auto lines = stringlist::load(record);
    if (!lines || lines->value(1) != u"autologin" || pass->isHidden())
        return;
    username->setText(lines->value(0));
    pass->setEchoMode(QLineEdit::Password);
    pass->setText(acc2);
    if (connected()) {
        autologin();
        Button2Click();
    }
}

void TNetwork::dscnClick()
{
    m_directory.setSelectedPeer({});
    if (!connected()) {
        RegShow();
        session().closeMain();
        return;
    }
    const QString name = User->text();
    if (m3->isChecked() || c3->isChecked()) {
        mem.userName.clear();
        mem.option = QStringLiteral("x");
        SaveACC();
        checkGuarded({c3}, c3);
    }
    if (m2->isChecked() || c2->isChecked()) {
        mem.userName = name;
        mem.option = QStringLiteral("nopass");
        SaveACC();
        checkGuarded({c2}, c2);
    }
    RegShow();
    m_signedOut = true;
    session().signOut(name);
}

void TNetwork::onSignedOut(bool recordUploaded)
{
    if (recordUploaded)
        Timer4->stop();
}
