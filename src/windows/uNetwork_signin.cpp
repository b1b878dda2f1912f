// Sign-in and registration: the sign-in screen, its button, the stepped sequence that does the
// server work, and the switches between the sign-in and the signed-in screens.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Helpers.h"
#include "session/ClientSession.h"
#include "windows/FrameImage.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uPhoto.h"
#include "windows/udragform.h"

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
constexpr int kUsersHeight = 561;

} // namespace

void TNetwork::createSignIn()
{
    signInCaptionTimer = new QTimer(this);
    signInCaptionTimer->setObjectName(QStringLiteral("Timer1"));
    signInCaptionTimer->setInterval(2000);
    connect(signInCaptionTimer, &QTimer::timeout, this, &TNetwork::onSignInCaptionTick);
    signInCaptionTimer->start();
    signInSequenceTimer = new QTimer(this);
    signInSequenceTimer->setObjectName(QStringLiteral("Timer2"));
    signInSequenceTimer->setInterval(100);
    connect(signInSequenceTimer, &QTimer::timeout, this, &TNetwork::onSignInSequenceTick);
    autoSignInTimer = new QTimer(this);
    autoSignInTimer->setObjectName(QStringLiteral("Timer4"));
    autoSignInTimer->setInterval(5000);
    connect(autoSignInTimer, &QTimer::timeout, this, &TNetwork::onAutoSignInTick);
    autoSignInTimer->start();

    connect(&session(), &ClientSession::signedIn, this, &TNetwork::onSignedIn);
    connect(&session(), &ClientSession::autoSignedIn, this, &TNetwork::onAutoSignedIn);
    connect(&session(), &ClientSession::signedOut, this, &TNetwork::onSignedOut);
    connect(signInButton, &QPushButton::clicked, this, &TNetwork::onSignIn);
    connect(nameEdit, &QLineEdit::textEdited, this, &TNetwork::onNameEdited);
    connect(autoSignInOption, &QRadioButton::clicked, this, &TNetwork::onAutoSignInOption);
    connect(forgetPasswordOption, &QRadioButton::clicked, this, &TNetwork::onForgetPasswordOption);
    connect(sharedComputerOption, &QRadioButton::clicked, this, &TNetwork::onSharedComputerOption);
    connect(panelForgetPasswordOption, &QRadioButton::clicked, this,
            &TNetwork::onPanelForgetPasswordOption);
    connect(panelSharedComputerOption, &QRadioButton::clicked, this,
            &TNetwork::onPanelSharedComputerOption);
    connect(signOutButton, &QPushButton::clicked, this, &TNetwork::onSignOut);
    // The five options are one group: checking one clears the other four.
    for (QRadioButton* m : {panelForgetPasswordOption, panelSharedComputerOption}) {
        panelOptions->removeButton(m);
        signInOptions->addButton(m);
    }
    autoSignInOption->setChecked(true);
    tightenSavedFiles();
    loadSavedAccount();
    // The options show what this computer remembers; left at "Autologin", the next press of
    // the button would quietly turn "nopass" or "x" into automatic sign-in.
    if (accountRecord.option == u"nopass")
        forgetPasswordOption->setChecked(true);
    else if (accountRecord.option == u"x")
        sharedComputerOption->setChecked(true);
}

bool TNetwork::usernameHoldsName() const
{
    return !nameEdit->text().isEmpty() && nameEdit->text() != m_ctx.text(129);
}

bool TNetwork::passHoldsPassword() const
{
    return !passwordEdit->text().isEmpty() && !(passwordEdit->echoMode() == QLineEdit::Normal &&
                                                passwordEdit->text() == m_ctx.text(132));
}

void TNetwork::placeholderEnter(QLineEdit* box)
{
    autoSignInDone = true;
    if (box == nameEdit && box->text() == m_ctx.text(129))
        box->clear();
    if (box == passwordEdit) {
        if (passwordEdit->echoMode() == QLineEdit::Normal &&
            passwordEdit->text() == m_ctx.text(132))
            passwordEdit->clear();
        passwordEdit->setEchoMode(QLineEdit::Password);
    }
    box->selectAll();
}

void TNetwork::placeholderExit(QLineEdit* box)
{
    if (!box->text().isEmpty())
        return;
    if (box == nameEdit) {
        nameEdit->setText(m_ctx.text(129));
    } else {
        passwordEdit->setEchoMode(QLineEdit::Normal);
        passwordEdit->setText(m_ctx.text(132));
    }
}

void TNetwork::setSignInCaption(int row, const QString& suffix)
{
    m_signInCaptionRow = row;
    signInButton->setText(m_ctx.text(row) + suffix);
}

void TNetwork::onNameEdited()
{
    if (!helpers::nameIsClean(nameEdit->text()))
        setSignInCaption(kTxtNameNotClean);
}

void TNetwork::onSignInCaptionTick()
{
    if (!connected())
        return;
    setSignInCaption(kTxtSignIn);
    signInCaptionTimer->stop();
}

void TNetwork::onSignIn()
{
    if (!connected()) {
        setSignInCaption(kTxtWaitingForNetwork);
        noNetworkTimer->start();
        return;
    }
    // A pass already under way finishes first; its result decides what the screen shows.
    if (m_signInRunning)
        return;
    session().closeMain();
    if (!usernameHoldsName() || !passHoldsPassword()) {
        if (nameEdit->text().isEmpty() || passwordEdit->text().isEmpty()) {
            setSignInCaption(kTxtFillAllFields);
            signInCaptionTimer->start();
        }
        return;
    }
    if (m_signInCaptionRow == kTxtFillAllFields && passTag != 1)
        return;
    // The server's files hold windows-1251 only: such a name or password would be stored as
    // "?" and never match again.
    if (const QString refused = accounts::refusedCharacters(
            accounts::normalisedName(nameEdit->text()), passwordEdit->text());
        !refused.isEmpty()) {
        setSignInCaption(StringTable::kTxtRefusedCharacters, refused);
        return;
    }
    passTag = 0;
    typedPassword = passwordEdit->text();
    setSignInCaption(kTxtSignIn, QStringLiteral("..."));
    signInTitle->hide();
    if (autoSignInOption->isChecked())
        accountRecord.option = QStringLiteral("autologin");
    else if (forgetPasswordOption->isChecked())
        accountRecord.option = QStringLiteral("nopass");
    else if (sharedComputerOption->isChecked())
        accountRecord.option = QStringLiteral("x");
    savedPassword = typedPassword;
    accountRecord.adapterAddress = m_ctx.platform().adapter->adapterAddress();
    m_optionGuard = true;
    if (forgetPasswordOption->isChecked())
        panelForgetPasswordOption->setChecked(true);
    if (sharedComputerOption->isChecked())
        panelSharedComputerOption->setChecked(true);
    m_optionGuard = false;
    failedPasses = 0;
    sequenceStep = 0;
    signInSequenceTimer->start();
    autoSignInTimer->start();
}

void TNetwork::onSignInSequenceTick()
{
    switch (sequenceStep) {
    case 0:
        setSignInCaption(kTxtSignIn, QStringLiteral(".."));
        sequenceStep = 1;
        return;
    case 1:
        setSignInCaption(kTxtSignIn, QStringLiteral("."));
        nameEdit->hide();
        passwordEdit->hide();
        sequenceStep = 2;
        return;
    case 2:
        setSignInCaption(kTxtSignIn);
        sequenceStep = 3;
        return;
    default:
        signInStep3();
    }
}

void TNetwork::signInStep3()
{
    signInButton->hide();
    for (QRadioButton* c : {autoSignInOption, forgetPasswordOption, sharedComputerOption})
        c->hide();
    nameEdit->setText(accounts::normalisedName(nameEdit->text()));
    if (!connected()) {
        // The network is away: go round again until it is back.
        sequenceStep = 0;
        signInSequenceTimer->start();
        return;
    }
    signInSequenceTimer->stop();
    sequenceStep = 0;
    busyLabel->show();
    m_signInRunning = true;
    session().signIn(
        {nameEdit->text(), typedPassword, accountRecord, accountRecord.adapterAddress});
}

void TNetwork::restartSequence(bool serverFault)
{
    if (serverFault && connected() && ++failedPasses >= kMaxFailedPasses) {
        failedPasses = 0;
        signInSequenceTimer->stop();
        sequenceStep = 0;
        for (QWidget* w : std::initializer_list<QWidget*>{nameEdit, passwordEdit, signInButton,
                                                          autoSignInOption, forgetPasswordOption,
                                                          sharedComputerOption, signInTitle})
            w->show();
        setSignInCaption(kTxtServerNotAnswering);
        return;
    }
    sequenceStep = 0;
    signInSequenceTimer->start();
}

void TNetwork::onSignedIn(const SignInResult& result)
{
    m_signInRunning = false;
    applyDirectory(result.connect);
    busyLabel->hide();
    switch (result.stage) {
    case SignInResult::Stage::Offline:
        restartSequence(false);
        return;
    case SignInResult::Stage::NoServer:
        restartSequence(true);
        return;
    case SignInResult::Stage::Failed:
        qCInfo(lcSignIn) << "sign-in pass failed:" << result.error.text;
        restartSequence(true);
        return;
    case SignInResult::Stage::Done:
        break;
    }
    accountRecord = result.record;
    const QString name = nameEdit->text();
    switch (result.outcome) {
    case accounts::Outcome::WrongPassword:
        setSignInCaption(kTxtWrongPassword);
        savedPassword.clear();
        showSignInView();
        passwordEdit->setFocus();
        return;
    case accounts::Outcome::RefusedName:
    case accounts::Outcome::RefusedCharacters:
    case accounts::Outcome::DirectoryBusy:
        // Nothing was written; the user gets the screen back to try again.
        for (QWidget* w : std::initializer_list<QWidget*>{nameEdit, passwordEdit, signInButton,
                                                          autoSignInOption, forgetPasswordOption,
                                                          sharedComputerOption, signInTitle})
            w->show();
        if (result.outcome == accounts::Outcome::RefusedCharacters)
            setSignInCaption(StringTable::kTxtRefusedCharacters,
                             accounts::refusedCharacters(name, typedPassword));
        else
            setSignInCaption(result.outcome == accounts::Outcome::RefusedName ? kTxtNameNotClean
                                                                              : kTxtSignIn);
        return;
    case accounts::Outcome::SignedIn:
    case accounts::Outcome::Registered:
        break;
    }
    failedPasses = 0;
    // "Don't save password" and "Another's computer" keep no password on this computer.
    if (accountRecord.option != u"autologin")
        QFile::remove(m_ctx.folders().userDataDir + store::local::kPassword);
    m_directory.firstFill(result.directory, name);
    showUsers();
    showSignedInView(result.avatarFile);
    if (!m_directory.selectedPeer().isEmpty()) {
        m_directory.selectPeer();
        showUsers();
        onUserSelected();
    }
}

void TNetwork::showSignedInView(const QString& avatarFile)
{
    signedInMark = 1;
    m_signedIn = true;
    for (QWidget* w :
         std::initializer_list<QWidget*>{nameEdit, passwordEdit, signInButton, autoSignInOption,
                                         forgetPasswordOption, sharedComputerOption, signInTitle})
        w->hide();
    sessionUser = nameEdit->text();
    ownNameLabel->setText(sessionUser);
    const Folders f = m_ctx.folders();
    // Conversations stay with the user: other local accounts may not read them.
    helpers::makePrivateFolder(f.programDataDir + QStringLiteral("net/") + sessionUser);
    helpers::makePrivateFolder(f.userDataDir + QStringLiteral("net/") + sessionUser);

    // A fill that ran before the name was known (an automatic sign-in) left the own line in
    // the list; it goes, and its region and activity fill the profile.
    QString own = m_directory.takeOwnLine(sessionUser);
    if (own.isEmpty()) {
        const int at = UserDirectory::find(m_directory.userst(), sessionUser);
        own = at >= 0 ? m_directory.userst().at(at) : QString();
    }
    const QString region = userentry::field(own, 2);
    const QString activity = userentry::field(own, 3);
    regionBox->setEditText(region.isEmpty() ? m_ctx.text(110) : region);
    activityBox->setEditText(activity.isEmpty() ? m_ctx.text(320) : activity);
    showUsers();

    ownNameLabel->show();
    userList->setFixedHeight(kUsersHeight);
    userList->show();
    onlineCheck->setChecked(true);
    onlineCheck->show();

    // A missing or broken picture: the stock one.
    if (avatarFile.isEmpty() || !ownAvatar->loadPicture(avatarFile))
        ownAvatar->loadPicture(f.programDataDir + QStringLiteral("avax.png"));
    ownAvatar->show();
    settingsToggle->show();

    userList->clearSelection();
    if (isVisible())
        userList->setFocus();
}

void TNetwork::showSignInView()
{
    if (accountRecord.toLines().isEmpty())
        accountRecord = store::AccountRecord();
    if (Tnetprog* popup = m_ctx.netprog(); popup && popup->isVisible())
        popup->beginClosing();
    if (TNetMenu* quick = m_ctx.NetMenu(); quick && quick->isVisible())
        quick->StartFadeOut();
    // The drop zone forgets its drop and fades away; its close brings this window back.
    if (Tdragform* zone = m_ctx.dragform(); zone && zone->isVisible()) {
        zone->clearDropfiles();
        zone->StartFadeOut();
    }
    if (QWidget* viewer = m_ctx.Photo(); viewer && viewer->isVisible())
        viewer->hide();
    signedInMark = 0;
    m_signedIn = false;
    hideSettingsPanel();
    m_directory.clear();
    showUsers();
    checkGuarded({autoSignInOption, forgetPasswordOption, sharedComputerOption},
                 accountRecord.option == u"x"           ? sharedComputerOption
                 : accountRecord.option == u"nopass"    ? forgetPasswordOption
                 : accountRecord.option == u"autologin" ? autoSignInOption
                                                        : nullptr);
    renameEdit->hide();
    quickSendButton->hide();
    signInTitle->show();
    sessionUser = ownNameLabel->text();
    ownNameLabel->setText(QStringLiteral("-"));
    nameEdit->show();
    passwordEdit->setEchoMode(QLineEdit::Normal);
    passwordEdit->setText(m_ctx.text(132));
    for (QWidget* w : std::initializer_list<QWidget*>{passwordEdit, signInButton, autoSignInOption,
                                                      forgetPasswordOption, sharedComputerOption})
        w->show();
    if (accountRecord.userName.isEmpty() && isVisible()) {
        nameEdit->setFocus();
        nameEdit->setText(m_ctx.text(129));
        nameEdit->selectAll();
    }
    if (usernameHoldsName() && isVisible())
        passwordEdit->setFocus();
    for (QWidget* w : std::initializer_list<QWidget*>{
             ownNameLabel, peerAvatar, peerNameLabel, favouriteMark, commonFilesButton, ownAvatar,
             settingsToggle, userList, onlineCheck, messageEdit, conversationView, sendButton,
             sendFileButton, receivedFilesButton})
        w->hide();
    userList->setFixedHeight(kUsersHeight);
}
