// The sign-in screen: its button and the stepped sequence that does the server work, the
// switches between the sign-in and the signed-in screens, what this computer remembers of its
// account, automatic sign-in, the sign-in options and signing out.
#include "windows/SignInView.h"

#include "app/AppContext.h"
#include "core/Helpers.h"
#include "core/StringList.h"
#include "net/XNetDetect.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "windows/FrameImage.h"
#include "windows/uNetwork.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

Q_LOGGING_CATEGORY(lcSignIn, "larkspire.signin")

// After this many failed passes with the network up, the sequence stops and says so, instead
// of restarting every 100 ms with the controls hidden.
constexpr int kMaxFailedPasses = 5;

} // namespace

SignInView::SignInView(TNetwork& window, MainControls::SignIn& controls, AppContext& ctx)
    : QObject(&window), m_window(window), m_ui(controls), m_ctx(ctx)
{
    m_signInCaptionTimer = new QTimer(this);
    m_signInCaptionTimer->setObjectName(QStringLiteral("Timer1"));
    m_signInCaptionTimer->setInterval(2000);
    connect(m_signInCaptionTimer, &QTimer::timeout, this, &SignInView::onSignInCaptionTick);
    m_signInCaptionTimer->start();
    m_signInSequenceTimer = new QTimer(this);
    m_signInSequenceTimer->setObjectName(QStringLiteral("Timer2"));
    m_signInSequenceTimer->setInterval(100);
    connect(m_signInSequenceTimer, &QTimer::timeout, this, &SignInView::onSignInSequenceTick);
    m_autoSignInTimer = new QTimer(this);
    m_autoSignInTimer->setObjectName(QStringLiteral("Timer4"));
    m_autoSignInTimer->setInterval(5000);
    connect(m_autoSignInTimer, &QTimer::timeout, this, &SignInView::onAutoSignInTick);
    m_autoSignInTimer->start();
    m_signInRetryTimer = new QTimer(this);
    m_signInRetryTimer->setObjectName(QStringLiteral("signInRetryTimer"));
    m_signInRetryTimer->setSingleShot(true);
    connect(m_signInRetryTimer, &QTimer::timeout, this, &SignInView::onSignInRetryTick);

    connect(&m_window.session(), &ClientSession::signedIn, this, &SignInView::onSignedIn);
    connect(&m_window.session(), &ClientSession::autoSignedIn, this, &SignInView::onAutoSignedIn);
    connect(&m_window.session(), &ClientSession::signedOut, this, &SignInView::onSignedOut);
    connect(m_ui.signInButton, &QPushButton::clicked, this, &SignInView::onSignIn);
    connect(m_ui.nameEdit, &QLineEdit::textEdited, this, &SignInView::onNameEdited);
    connect(m_ui.autoSignInOption, &QRadioButton::clicked, this, &SignInView::onAutoSignInOption);
    connect(m_ui.forgetPasswordOption, &QRadioButton::clicked, this,
            &SignInView::onForgetPasswordOption);
    connect(m_ui.sharedComputerOption, &QRadioButton::clicked, this,
            &SignInView::onSharedComputerOption);
    connect(m_ui.panelForgetPasswordOption, &QRadioButton::clicked, this,
            &SignInView::onPanelForgetPasswordOption);
    connect(m_ui.panelSharedComputerOption, &QRadioButton::clicked, this,
            &SignInView::onPanelSharedComputerOption);
    connect(m_ui.signOutButton, &QPushButton::clicked, this, &SignInView::onSignOut);
    // The five options are one group: checking one clears the other four.
    for (QRadioButton* m : {m_ui.panelForgetPasswordOption, m_ui.panelSharedComputerOption}) {
        m_ui.panelOptions->removeButton(m);
        m_ui.signInOptions->addButton(m);
    }
    m_ui.autoSignInOption->setChecked(true);
    tightenSavedFiles();
    loadSavedAccount();
    // The options show what this computer remembers; left at "Autologin", the next press of
    // the button would quietly turn "nopass" or "x" into automatic sign-in.
    if (m_accountRecord.option == u"nopass")
        m_ui.forgetPasswordOption->setChecked(true);
    else if (m_accountRecord.option == u"x")
        m_ui.sharedComputerOption->setChecked(true);
}

bool SignInView::usernameHoldsName() const
{
    return !m_ui.nameEdit->text().isEmpty() &&
           m_ui.nameEdit->text() != m_ctx.text(StringTable::kTxtNamePlaceholder);
}

bool SignInView::passHoldsPassword() const
{
    return !m_ui.passwordEdit->text().isEmpty() &&
           !(m_ui.passwordEdit->echoMode() == QLineEdit::Normal &&
             m_ui.passwordEdit->text() == m_ctx.text(StringTable::kTxtPasswordPlaceholder));
}

void SignInView::placeholderEnter(QLineEdit* box)
{
    m_autoSignInDone = true;
    if (box == m_ui.nameEdit && box->text() == m_ctx.text(StringTable::kTxtNamePlaceholder))
        box->clear();
    if (box == m_ui.passwordEdit) {
        if (m_ui.passwordEdit->echoMode() == QLineEdit::Normal &&
            m_ui.passwordEdit->text() == m_ctx.text(StringTable::kTxtPasswordPlaceholder))
            m_ui.passwordEdit->clear();
        m_ui.passwordEdit->setEchoMode(QLineEdit::Password);
    }
    box->selectAll();
}

void SignInView::placeholderExit(QLineEdit* box)
{
    if (!box->text().isEmpty())
        return;
    if (box == m_ui.nameEdit) {
        m_ui.nameEdit->setText(m_ctx.text(StringTable::kTxtNamePlaceholder));
    } else {
        m_ui.passwordEdit->setEchoMode(QLineEdit::Normal);
        m_ui.passwordEdit->setText(m_ctx.text(StringTable::kTxtPasswordPlaceholder));
    }
}

void SignInView::setSignInCaption(int row, const QString& suffix)
{
    m_signInCaptionRow = row;
    m_ui.signInButton->setText(m_ctx.text(row) + suffix);
}

void SignInView::onNameEdited()
{
    if (!helpers::nameIsClean(m_ui.nameEdit->text()))
        setSignInCaption(StringTable::kTxtNameNotClean);
}

void SignInView::onSignInCaptionTick()
{
    if (!m_window.connected())
        return;
    setSignInCaption(StringTable::kTxtSignIn);
    m_signInCaptionTimer->stop();
}

void SignInView::onSignIn()
{
    if (!m_window.connected()) {
        setSignInCaption(kTxtWaitingForNetwork);
        m_window.startNoNetworkPause();
        return;
    }
    // A pass already under way finishes first; its result decides what the screen shows.
    if (m_signInRunning)
        return;
    m_signInRetryTimer->stop();
    m_window.session().closeMain();
    if (!usernameHoldsName() || !passHoldsPassword()) {
        if (m_ui.nameEdit->text().isEmpty() || m_ui.passwordEdit->text().isEmpty()) {
            setSignInCaption(kTxtFillAllFields);
            m_signInCaptionTimer->start();
        }
        return;
    }
    if (m_signInCaptionRow == kTxtFillAllFields && m_passTag != 1)
        return;
    // The server's files hold windows-1251 only: such a name or password would be stored as
    // "?" and never match again.
    if (const QString refused = accounts::refusedCharacters(
            accounts::normalisedName(m_ui.nameEdit->text()), m_ui.passwordEdit->text());
        !refused.isEmpty()) {
        setSignInCaption(StringTable::kTxtRefusedCharacters, refused);
        return;
    }
    m_passTag = 0;
    m_typedPassword = m_ui.passwordEdit->text();
    setSignInCaption(StringTable::kTxtSignIn, QStringLiteral("..."));
    m_ui.signInTitle->hide();
    if (m_ui.autoSignInOption->isChecked())
        m_accountRecord.option = QStringLiteral("autologin");
    else if (m_ui.forgetPasswordOption->isChecked())
        m_accountRecord.option = QStringLiteral("nopass");
    else if (m_ui.sharedComputerOption->isChecked())
        m_accountRecord.option = QStringLiteral("x");
    m_savedPassword = m_typedPassword;
    m_accountRecord.adapterAddress = m_ctx.platform().adapter->adapterAddress();
    m_optionGuard = true;
    if (m_ui.forgetPasswordOption->isChecked())
        m_ui.panelForgetPasswordOption->setChecked(true);
    if (m_ui.sharedComputerOption->isChecked())
        m_ui.panelSharedComputerOption->setChecked(true);
    m_optionGuard = false;
    m_failedPasses = 0;
    m_sequenceStep = 0;
    m_signInSequenceTimer->start();
    m_autoSignInTimer->start();
}

void SignInView::onSignInSequenceTick()
{
    switch (m_sequenceStep) {
    case 0:
        setSignInCaption(StringTable::kTxtSignIn, QStringLiteral(".."));
        m_sequenceStep = 1;
        return;
    case 1:
        setSignInCaption(StringTable::kTxtSignIn, QStringLiteral("."));
        m_ui.nameEdit->hide();
        m_ui.passwordEdit->hide();
        m_sequenceStep = 2;
        return;
    case 2:
        setSignInCaption(StringTable::kTxtSignIn);
        m_sequenceStep = 3;
        return;
    default:
        signInStep3();
    }
}

void SignInView::signInStep3()
{
    m_ui.signInButton->hide();
    for (QRadioButton* c :
         {m_ui.autoSignInOption, m_ui.forgetPasswordOption, m_ui.sharedComputerOption})
        c->hide();
    m_ui.nameEdit->setText(accounts::normalisedName(m_ui.nameEdit->text()));
    if (!m_window.connected()) {
        // The network is away: go round again until it is back.
        m_sequenceStep = 0;
        m_signInSequenceTimer->start();
        return;
    }
    m_signInSequenceTimer->stop();
    m_sequenceStep = 0;
    m_ctx.state().setWorking(ClientState::Work::SignIn, true);
    m_signInRunning = true;
    m_window.session().signIn(
        {m_ui.nameEdit->text(), m_typedPassword, m_accountRecord, m_accountRecord.adapterAddress});
}

void SignInView::showSignInControls()
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui.nameEdit, m_ui.passwordEdit, m_ui.signInButton, m_ui.autoSignInOption,
             m_ui.forgetPasswordOption, m_ui.sharedComputerOption, m_ui.signInTitle})
        w->show();
}

void SignInView::restartSequence(bool serverFault)
{
    if (serverFault && m_window.connected() && ++m_failedPasses >= kMaxFailedPasses) {
        m_failedPasses = 0;
        m_signInSequenceTimer->stop();
        m_sequenceStep = 0;
        showSignInControls();
        setSignInCaption(kTxtServerNotAnswering);
        return;
    }
    m_sequenceStep = 0;
    m_signInSequenceTimer->start();
}

void SignInView::retryAfter(retrypacing::Failure failure, const QString& text)
{
    // An automatic sign-in got there meanwhile.
    if (m_window.signedIn())
        return;
    const qint64 pause = m_pacing.failed(failure, text);
    if (pause == 0) {
        restartSequence(true);
        return;
    }
    m_failedPasses = 0;
    m_signInSequenceTimer->stop();
    m_sequenceStep = 0;
    showSignInControls();
    setSignInCaption(kTxtTryingLater);
    m_signInRetryTimer->start(static_cast<int>(pause));
    // The message box waits for the user; the retry goes on meanwhile and does not open another.
    if (text != m_shownFailure) {
        m_shownFailure = text;
        m_ctx.platform().desktop->showError(text);
    }
}

void SignInView::onSignInRetryTick()
{
    if (m_window.signedIn() || m_signInRunning || m_signInSequenceTimer->isActive())
        return;
    // Away from the network the sequence goes round until it is back, as after the button.
    if (!m_window.connected()) {
        m_sequenceStep = 0;
        m_signInSequenceTimer->start();
        return;
    }
    onSignIn();
}

void SignInView::onSignedIn(const SignInResult& result)
{
    m_signInRunning = false;
    m_window.applyDirectory(result.connect);
    m_ctx.state().setWorking(ClientState::Work::SignIn, false);
    switch (result.stage) {
    case SignInResult::Stage::Offline:
        restartSequence(false);
        return;
    case SignInResult::Stage::NoServer:
        restartSequence(true);
        return;
    case SignInResult::Stage::Failed:
        qCInfo(lcSignIn) << "sign-in pass failed:" << result.error.text;
        retryAfter(retrypacing::Failure::Step, result.error.text);
        return;
    case SignInResult::Stage::Refused:
        qCInfo(lcSignIn) << "sign-in refused:" << result.error.text;
        retryAfter(retrypacing::Failure::Refused, result.error.text);
        return;
    case SignInResult::Stage::Done:
        break;
    }
    m_pacing.succeeded();
    m_shownFailure.clear();
    m_accountRecord = result.record;
    const QString name = m_ui.nameEdit->text();
    switch (result.outcome) {
    case accounts::Outcome::WrongPassword:
        setSignInCaption(kTxtWrongPassword);
        m_savedPassword.clear();
        showSignInView();
        m_ui.passwordEdit->setFocus();
        return;
    case accounts::Outcome::RefusedName:
    case accounts::Outcome::RefusedCharacters:
    case accounts::Outcome::DirectoryBusy:
        // Nothing was written; the user gets the screen back to try again.
        for (QWidget* w : std::initializer_list<QWidget*>{
                 m_ui.nameEdit, m_ui.passwordEdit, m_ui.signInButton, m_ui.autoSignInOption,
                 m_ui.forgetPasswordOption, m_ui.sharedComputerOption, m_ui.signInTitle})
            w->show();
        if (result.outcome == accounts::Outcome::RefusedCharacters)
            setSignInCaption(StringTable::kTxtRefusedCharacters,
                             accounts::refusedCharacters(name, m_typedPassword));
        else
            setSignInCaption(result.outcome == accounts::Outcome::RefusedName
                                 ? StringTable::kTxtNameNotClean
                                 : StringTable::kTxtSignIn);
        return;
    case accounts::Outcome::SignedIn:
    case accounts::Outcome::Registered:
        break;
    }
    m_failedPasses = 0;
    // "Don't save password" and "Another's computer" keep no password on this computer.
    if (m_accountRecord.option != u"autologin")
        QFile::remove(m_ctx.folders().userDataDir + store::local::kPassword);
    m_ctx.state().changeDirectory([&](UserDirectory& d) { d.firstFill(result.directory, name); });
    m_window.showUsers();
    showSignedInView(result.avatarFile);
    if (!m_ctx.state().directory().selectedPeer().isEmpty()) {
        m_ctx.state().changeDirectory([](UserDirectory& d) { d.selectPeer(); });
        m_window.showUsers();
        m_window.openSelectedUser();
    }
}

void SignInView::showSignedInView(const QString& avatarFile)
{
    m_signInRetryTimer->stop();
    m_window.setSignedInMark(1);
    m_window.setSignedIn(true);
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui.nameEdit, m_ui.passwordEdit, m_ui.signInButton, m_ui.autoSignInOption,
             m_ui.forgetPasswordOption, m_ui.sharedComputerOption, m_ui.signInTitle})
        w->hide();
    m_window.setSessionUser(m_ui.nameEdit->text());
    const Folders f = m_ctx.folders();
    // Conversations stay with the user: other local accounts may not read them.
    helpers::makePrivateFolder(f.programDataDir + QStringLiteral("net/") + m_window.sessionUser());
    helpers::makePrivateFolder(f.userDataDir + QStringLiteral("net/") + m_window.sessionUser());

    // A fill that ran before the name was known (an automatic sign-in) left the own line in
    // the list; it goes, and its region and activity fill the profile.
    const QString user = m_window.sessionUser();
    QString own;
    m_ctx.state().changeDirectory([&](UserDirectory& d) { own = d.takeOwnLine(user); });
    if (own.isEmpty()) {
        const QStringList& everyone = m_ctx.state().directory().userst();
        const int at = UserDirectory::find(everyone, user);
        own = at >= 0 ? everyone.at(at) : QString();
    }
    // The account panel shows the user, the picture and the profile of that line; the list
    // and the conversation show themselves.
    m_ctx.state().setOwnAvatar(avatarFile);
    m_ctx.state().signIn(user);
    m_window.showProfile(own);
    m_window.showUsers();
    m_window.showSignedInList();
}

void SignInView::showSignInView()
{
    if (m_accountRecord.toLines().isEmpty())
        m_accountRecord = store::AccountRecord();
    // The popup, the quick-send window, the drop zone (which forgets its drop; its close
    // brings this window back) and the picture viewer go away.
    emit m_window.otherWindowsCloseRequested();
    m_window.setSignedInMark(0);
    m_window.setSignedIn(false);
    m_ctx.state().signOut();
    m_window.hideSettingsPanel();
    m_window.showUsers();
    checkGuarded({m_ui.autoSignInOption, m_ui.forgetPasswordOption, m_ui.sharedComputerOption},
                 m_accountRecord.option == u"x"           ? m_ui.sharedComputerOption
                 : m_accountRecord.option == u"nopass"    ? m_ui.forgetPasswordOption
                 : m_accountRecord.option == u"autologin" ? m_ui.autoSignInOption
                                                          : nullptr);
    m_ui.signInTitle->show();
    // The session user stays the one who signed out, for the sign-out's own steps.
    m_ui.nameEdit->show();
    m_ui.passwordEdit->setEchoMode(QLineEdit::Normal);
    m_ui.passwordEdit->setText(m_ctx.text(StringTable::kTxtPasswordPlaceholder));
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui.passwordEdit, m_ui.signInButton, m_ui.autoSignInOption, m_ui.forgetPasswordOption,
             m_ui.sharedComputerOption})
        w->show();
    if (m_accountRecord.userName.isEmpty() && m_window.isVisible()) {
        m_ui.nameEdit->setFocus();
        m_ui.nameEdit->setText(m_ctx.text(StringTable::kTxtNamePlaceholder));
        m_ui.nameEdit->selectAll();
    }
    if (usernameHoldsName() && m_window.isVisible())
        m_ui.passwordEdit->setFocus();
}

void SignInView::setTypedName(const QString& name)
{
    m_ui.nameEdit->setText(name);
}

void SignInView::forgetAccount()
{
    m_autoSignInTimer->stop();
    m_autoSignInDone = false;
    m_accountRecord.userName.clear();
    m_savedPassword.clear();
}

void SignInView::tightenSavedFiles()
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

void SignInView::loadSavedAccount()
{
    const Folders f = m_ctx.folders();
    if (const auto record = stringlist::load(f.userDataDir + store::local::kAccountRecord))
        m_accountRecord = store::AccountRecord::fromLines(*record);
    if (const auto password = stringlist::load(f.userDataDir + store::local::kPassword))
        m_savedPassword = password->value(0);
}

void SignInView::saveAccountRecord()
{
    const QString path = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    if (!helpers::fileInUse(path))
        stringlist::savePrivate(path, m_accountRecord.toLines());
}

void SignInView::checkGuarded(std::initializer_list<QRadioButton*> guarded, QRadioButton* button)
{
    if (!button)
        return;
    // Checking a button runs its handler, as a click would; the guarded ones only take note.
    const bool guard = std::find(guarded.begin(), guarded.end(), button) != guarded.end();
    const bool wasGuarded = m_optionGuard;
    m_optionGuard = guard;
    button->setChecked(true);
    if (button == m_ui.autoSignInOption)
        onAutoSignInOption();
    else if (button == m_ui.forgetPasswordOption)
        onForgetPasswordOption();
    else if (button == m_ui.sharedComputerOption)
        onSharedComputerOption();
    else if (button == m_ui.panelForgetPasswordOption)
        onPanelForgetPasswordOption();
    else if (button == m_ui.panelSharedComputerOption)
        onPanelSharedComputerOption();
    m_optionGuard = wasGuarded;
}

void SignInView::checkOption(QRadioButton* button)
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

void SignInView::chooseOption(const QString& option)
{
    m_accountRecord.option = option;
    saveAccountRecord();
    forgetPassword(m_ctx.folders().userDataDir);
}

void SignInView::onAutoSignInOption()
{
    m_autoSignInDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(m_ui.nameEdit, m_ui.passwordEdit, usernameHoldsName());
}

void SignInView::onForgetPasswordOption()
{
    m_autoSignInDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(m_ui.nameEdit, m_ui.passwordEdit, usernameHoldsName());
    chooseOption(QStringLiteral("nopass"));
}

void SignInView::onSharedComputerOption()
{
    m_autoSignInDone = true;
    if (m_optionGuard)
        return;
    focusNextBox(m_ui.nameEdit, m_ui.passwordEdit, usernameHoldsName());
    chooseOption(QStringLiteral("x"));
}

void SignInView::onPanelForgetPasswordOption()
{
    if (!m_optionGuard)
        chooseOption(QStringLiteral("nopass"));
}

void SignInView::onPanelSharedComputerOption()
{
    if (m_optionGuard)
        return;
    m_accountRecord.userName.clear();
    m_ui.nameEdit->setText(m_ctx.text(StringTable::kTxtNamePlaceholder));
    chooseOption(QStringLiteral("x"));
}

void SignInView::FormShowSignIn()
{
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    const auto offerName = [this] {
        if (usernameHoldsName()) {
            showSignInView();
            m_ui.passwordEdit->setFocus();
        } else {
            m_ui.nameEdit->setText(m_ctx.text(StringTable::kTxtNamePlaceholder));
            m_ui.nameEdit->setFocus();
            m_ui.nameEdit->selectAll();
        }
    };
    if (m_accountRecord.option == u"nopass") {
        m_ui.nameEdit->setText(m_accountRecord.userName);
        m_ui.passwordEdit->setFocus();
    }
    if (m_accountRecord.option == u"x" || !QFile::exists(record))
        offerName();
    if (m_window.signedIn())
        return;
    if (!m_ui.nameEdit->isHidden())
        m_ui.nameEdit->selectAll();
    if (m_autoSignInDone)
        return;
    if (!QFile::exists(record))
        showSignInView();
    if (m_accountRecord.option == u"autologin")
        return;
    if (m_accountRecord.option == u"x") {
        m_ui.nameEdit->setText(m_accountRecord.userName);
        offerName();
    }
}

void SignInView::autoSignIn()
{
    if (!m_window.connected())
        return;
    if (m_accountRecord.option != u"autologin" || m_autoSignInDone ||
        m_window.signedInMark() == 1 || m_signedOut) {
        m_window.session().closeMain();
        return;
    }
    m_autoSignInDone = true;
    const Folders f = m_ctx.folders();
    const QString record = f.userDataDir + store::local::kAccountRecord;
    if (!QFile::exists(record)) {
        checkGuarded({m_ui.panelForgetPasswordOption, m_ui.panelSharedComputerOption},
                     m_ui.autoSignInOption);
        return;
    }
    loadSavedAccount();
    if (!QFile::exists(f.userDataDir + store::local::kPassword)) {
        m_window.session().closeMain();
        return;
    }
    if (m_accountRecord.option != u"autologin")
        return;
    m_typedPassword = m_savedPassword;
    m_window.session().autoSignIn(
        {m_accountRecord, m_savedPassword, m_ctx.state().directory().userst()});
}

void SignInView::onAutoSignedIn(const AutoSignInResult& result)
{
    m_window.applyDirectory(result.connect);
    if (result.error.failed()) {
        // The application's error report.
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (result.outcome == AutoSignInResult::Outcome::NoConnection)
        return;
    m_ui.nameEdit->setText(m_accountRecord.userName);
    if (result.outcome == AutoSignInResult::Outcome::Accepted)
        showSignedInView(result.avatarFile);
    else
        showSignInView();
}

void SignInView::onAutoSignInTick()
{
    if (!m_window.connected()) {
        m_window.requestConnectivityCheck();
        return;
    }
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    if (!m_window.session().mainOpen() && m_window.session().idle() && QFile::exists(record) &&
        m_accountRecord.option == u"autologin" && !m_ui.passwordEdit->isHidden() &&
        !m_signInSequenceTimer->isActive() && !m_signInRunning && !m_signInRetryTimer->isActive()) {
        m_ui.nameEdit->setText(m_accountRecord.userName);
        m_ui.passwordEdit->setEchoMode(QLineEdit::Password);
        m_ui.passwordEdit->setText(m_savedPassword);
        m_typedPassword = m_savedPassword;
        if (m_window.connected()) {
            autoSignIn();
            onSignIn();
        }
    }
}

void SignInView::autoSignInFromRecord()
{
    const QString record = m_ctx.folders().userDataDir + store::local::kAccountRecord;
    const auto lines = stringlist::load(record);
    if (!lines || lines->value(1) != u"autologin" || m_ui.passwordEdit->isHidden() ||
        m_signInRetryTimer->isActive())
        return;
    m_ui.nameEdit->setText(lines->value(0));
    m_ui.passwordEdit->setEchoMode(QLineEdit::Password);
    m_ui.passwordEdit->setText(m_savedPassword);
    if (m_window.connected()) {
        autoSignIn();
        onSignIn();
    }
}

void SignInView::onSignOut()
{
    m_ctx.state().changeDirectory([](UserDirectory& d) { d.setSelectedPeer({}); });
    if (!m_window.connected()) {
        showSignInView();
        m_window.session().closeMain();
        return;
    }
    const QString name = m_ctx.state().user();
    if (m_ui.panelSharedComputerOption->isChecked() || m_ui.sharedComputerOption->isChecked()) {
        m_accountRecord.userName.clear();
        m_accountRecord.option = QStringLiteral("x");
        saveAccountRecord();
        checkGuarded({m_ui.sharedComputerOption}, m_ui.sharedComputerOption);
    }
    if (m_ui.panelForgetPasswordOption->isChecked() || m_ui.forgetPasswordOption->isChecked()) {
        m_accountRecord.userName = name;
        m_accountRecord.option = QStringLiteral("nopass");
        saveAccountRecord();
        checkGuarded({m_ui.forgetPasswordOption}, m_ui.forgetPasswordOption);
    }
    showSignInView();
    m_signedOut = true;
    m_window.session().signOut(name);
}

void SignInView::onSignedOut(bool recordUploaded)
{
    if (recordUploaded)
        m_autoSignInTimer->stop();
}
