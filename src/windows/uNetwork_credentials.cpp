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
        accountRecord = store::AccountRecord::fromLines(*record);
    if (const auto password = stringlist::load(f.userDataDir + store::local::kPassword))
        savedPassword = password->value(0);
}

void TNetwork::saveAccountRecord()
{
    const QString path = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    if (!helpers::fileInUse(path))
        stringlist::savePrivate(path, accountRecord.toLines());
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
    if (button == autoSignInOption)
        onAutoSignInOption();
    else if (button == forgetPasswordOption)
        onForgetPasswordOption();
    else if (button == sharedComputerOption)
        onSharedComputerOption();
    else if (button == panelForgetPasswordOption)
        onPanelForgetPasswordOption();
    else if (button == panelSharedComputerOption)
        onPanelSharedComputerOption();
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
void focusNextBox(QLineEdit* nameEdit, QLineEdit* passwordEdit, bool nameTyped)
{
    QLineEdit* box = nameTyped ? passwordEdit : nameEdit;
    box->setFocus();
    box->selectAll();
}

} // namespace

void TNetwork::chooseOption(const QString& option)
{
    accountRecord.option = option;
    saveAccountRecord();
    forgetPassword(m_ctx.folders().userDataDir);
}

void TNetwork::onAutoSignInOption()
{
    autoSignInDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(nameEdit, passwordEdit, usernameHoldsName());
}

void TNetwork::onForgetPasswordOption()
{
    autoSignInDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(nameEdit, passwordEdit, usernameHoldsName());
    chooseOption(QStringLiteral("nopass"));
}

void TNetwork::onSharedComputerOption()
{
    autoSignInDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(nameEdit, passwordEdit, usernameHoldsName());
    chooseOption(QStringLiteral("x"));
}

void TNetwork::onPanelForgetPasswordOption()
{
    if (!m_optionGuard)
        chooseOption(QStringLiteral("nopass"));
}

void TNetwork::onPanelSharedComputerOption()
{
    if (m_optionGuard)
        return;
    accountRecord.userName.clear();
    nameEdit->setText(m_ctx.text(129));
    chooseOption(QStringLiteral("x"));
}

void TNetwork::FormShowSignIn()
{
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    const auto offerName = [this] {
        if (usernameHoldsName()) {
            showSignInView();
            passwordEdit->setFocus();
        } else {
            nameEdit->setText(m_ctx.text(129));
            nameEdit->setFocus();
            nameEdit->selectAll();
        }
    };
    if (accountRecord.option == u"nopass") {
        nameEdit->setText(accountRecord.userName);
        passwordEdit->setFocus();
    }
    if (accountRecord.option == u"x" || !QFile::exists(record))
        offerName();
    if (m_signedIn)
        return;
    if (!nameEdit->isHidden())
        nameEdit->selectAll();
    if (autoSignInDone)
        return;
    if (!QFile::exists(record))
        showSignInView();
    if (accountRecord.option == u"autologin")
        return;
    if (accountRecord.option == u"x") {
        nameEdit->setText(accountRecord.userName);
        offerName();
    }
}

void TNetwork::autoSignIn()
{
    if (!connected())
        return;
    if (accountRecord.option != u"autologin" || autoSignInDone || signedInMark == 1 ||
        m_signedOut) {
        session().closeMain();
        return;
    }
    autoSignInDone = true;
    const Folders f = m_ctx.folders();
    const QString record = f.userDataDir + store::local::kAccountRecord;
    if (!QFile::exists(record)) {
        checkGuarded({panelForgetPasswordOption, panelSharedComputerOption}, autoSignInOption);
        return;
    }
    loadSavedAccount();
    if (!QFile::exists(f.userDataDir + store::local::kPassword)) {
        session().closeMain();
        return;
    }
    if (accountRecord.option != u"autologin")
        return;
    typedPassword = savedPassword;
    session().autoSignIn({accountRecord, savedPassword, m_directory.userst()});
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
    nameEdit->setText(accountRecord.userName);
    if (result.outcome == AutoSignInResult::Outcome::Accepted)
        showSignedInView(result.avatarFile);
    else
        showSignInView();
}

void TNetwork::onAutoSignInTick()
{
    if (!connected()) {
        netDetector->setEnabled(true);
        netDetector->requestCheck();
        return;
    }
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    if (!session().mainOpen() && session().idle() && QFile::exists(record) &&
        accountRecord.option == u"autologin" && !passwordEdit->isHidden() &&
        !signInSequenceTimer->isActive() && !m_signInRunning) {
        nameEdit->setText(accountRecord.userName);
        passwordEdit->setEchoMode(QLineEdit::Password);
        passwordEdit->setText(savedPassword);
        typedPassword = savedPassword;
        if (connected()) {
            autoSignIn();
            onSignIn();
        }
    }
}

void TNetwork::autoSignInFromRecord()
{
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    const auto lines = stringlist::load(record);
    if (!lines || lines->value(1) != u"autologin" || passwordEdit->isHidden())
        return;
    nameEdit->setText(lines->value(0));
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setText(savedPassword);
    if (connected()) {
        autoSignIn();
        onSignIn();
    }
}

void TNetwork::onSignOut()
{
    m_directory.setSelectedPeer({});
    if (!connected()) {
        showSignInView();
        session().closeMain();
        return;
    }
    const QString name = ownNameLabel->text();
    if (panelSharedComputerOption->isChecked() || sharedComputerOption->isChecked()) {
        accountRecord.userName.clear();
        accountRecord.option = QStringLiteral("x");
        saveAccountRecord();
        checkGuarded({sharedComputerOption}, sharedComputerOption);
    }
    if (panelForgetPasswordOption->isChecked() || forgetPasswordOption->isChecked()) {
        accountRecord.userName = name;
        accountRecord.option = QStringLiteral("nopass");
        saveAccountRecord();
        checkGuarded({forgetPasswordOption}, forgetPasswordOption);
    }
    showSignInView();
    m_signedOut = true;
    session().signOut(name);
}

void TNetwork::onSignedOut(bool recordUploaded)
{
    if (recordUploaded)
        autoSignInTimer->stop();
}
