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
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2000);
    connect(Timer1, &QTimer::timeout, this, &TNetwork::Timer1Timer);
    Timer1->start();
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(100);
    connect(Timer2, &QTimer::timeout, this, &TNetwork::Timer2Timer);
    Timer4 = new QTimer(this);
    Timer4->setObjectName(QStringLiteral("Timer4"));
    Timer4->setInterval(5000);
    connect(Timer4, &QTimer::timeout, this, &TNetwork::Timer4Timer);
    Timer4->start();
    usererrortimer = new QTimer(this);
    usererrortimer->setObjectName(QStringLiteral("usererrortimer"));
    usererrortimer->setInterval(3000);
    connect(usererrortimer, &QTimer::timeout, this, &TNetwork::usererrortimerTimer);

    connect(&session(), &ClientSession::signedIn, this, &TNetwork::onSignedIn);
    connect(&session(), &ClientSession::autoSignedIn, this, &TNetwork::onAutoSignedIn);
    connect(&session(), &ClientSession::signedOut, this, &TNetwork::onSignedOut);
    connect(Button2, &QPushButton::clicked, this, &TNetwork::Button2Click);
    connect(username, &QLineEdit::textEdited, this, &TNetwork::usernameChange);
    connect(c1, &QRadioButton::clicked, this, &TNetwork::c1Click);
    connect(c2, &QRadioButton::clicked, this, &TNetwork::c2Click);
    connect(c3, &QRadioButton::clicked, this, &TNetwork::c3Click);
    connect(m2, &QRadioButton::clicked, this, &TNetwork::m2Click);
    connect(m3, &QRadioButton::clicked, this, &TNetwork::m3Click);
    connect(dscn, &QPushButton::clicked, this, &TNetwork::dscnClick);
    // The five options are one group: checking one clears the other four.
    for (QRadioButton* m : {m2, m3}) {
        panelOptions->removeButton(m);
        signInOptions->addButton(m);
    }
    c1->setChecked(true);
    tightenSavedFiles();
    loadSavedAccount();
    // The options show what this computer remembers; left at "Autologin", the next press of
    // the button would quietly turn "nopass" or "x" into automatic sign-in.
    if (mem.option == u"nopass")
        c2->setChecked(true);
    else if (mem.option == u"x")
        c3->setChecked(true);
}

bool TNetwork::usernameHoldsName() const
{
    return !username->text().isEmpty() && username->text() != m_ctx.text(129);
}

bool TNetwork::passHoldsPassword() const
{
    return !pass->text().isEmpty() &&
           !(pass->echoMode() == QLineEdit::Normal && pass->text() == m_ctx.text(132));
}

void TNetwork::placeholderEnter(QLineEdit* box)
{
    AutologinDone = true;
    if (box == username && box->text() == m_ctx.text(129))
        box->clear();
    if (box == pass) {
        if (pass->echoMode() == QLineEdit::Normal && pass->text() == m_ctx.text(132))
            pass->clear();
        pass->setEchoMode(QLineEdit::Password);
    }
    box->selectAll();
}

void TNetwork::placeholderExit(QLineEdit* box)
{
    if (!box->text().isEmpty())
        return;
    if (box == username) {
        username->setText(m_ctx.text(129));
    } else {
        pass->setEchoMode(QLineEdit::Normal);
        pass->setText(m_ctx.text(132));
    }
}

void TNetwork::setSignInCaption(int row, const QString& suffix)
{
    m_signInCaptionRow = row;
    Button2->setText(m_ctx.text(row) + suffix);
}

void TNetwork::usernameChange()
{
    if (!helpers::nameIsClean(username->text()))
        setSignInCaption(kTxtNameNotClean);
}

void TNetwork::Timer1Timer()
{
    if (!connected())
        return;
    setSignInCaption(kTxtSignIn);
    Timer1->stop();
}

void TNetwork::usererrortimerTimer()
{
    usererror->hide();
    usererrortimer->stop();
}

void TNetwork::Button2Click()
{
    if (!connected()) {
        setSignInCaption(kTxtWaitingForNetwork);
        nonet->start();
        return;
    }
    // A pass already under way finishes first; its result decides what the screen shows.
    if (m_signInRunning)
        return;
    session().closeMain();
    if (!usernameHoldsName() || !passHoldsPassword()) {
        if (username->text().isEmpty() || pass->text().isEmpty()) {
            setSignInCaption(kTxtFillAllFields);
            Timer1->start();
        }
        return;
    }
    if (m_signInCaptionRow == kTxtFillAllFields && passTag != 1)
        return;
    // The server's files hold windows-1251 only: such a name or password would be stored as
    // "?" and never match again.
    if (const QString refused =
            accounts::refusedCharacters(accounts::normalisedName(username->text()), pass->text());
        !refused.isEmpty()) {
        setSignInCaption(StringTable::kTxtRefusedCharacters, refused);
        return;
    }
    passTag = 0;
    typedPassword = pass->text();
    setSignInCaption(kTxtSignIn, QStringLiteral("..."));
    Label1->hide();
    if (c1->isChecked())
        mem.option = QStringLiteral("autologin");
    else if (c2->isChecked())
        mem.option = QStringLiteral("nopass");
    else if (c3->isChecked())
        mem.option = QStringLiteral("x");
    acc2 = typedPassword;
    mem.adapterAddress = m_ctx.platform().adapter->adapterAddress();
    m_optionGuard = true;
    if (c2->isChecked())
        m2->setChecked(true);
    if (c3->isChecked())
        m3->setChecked(true);
    m_optionGuard = false;
    failedPasses = 0;
    sequenceStep = 0;
    Timer2->start();
    Timer4->start();
}

void TNetwork::Timer2Timer()
{
    switch (sequenceStep) {
    case 0:
        setSignInCaption(kTxtSignIn, QStringLiteral(".."));
        sequenceStep = 1;
        return;
    case 1:
        setSignInCaption(kTxtSignIn, QStringLiteral("."));
        username->hide();
        pass->hide();
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
    Button2->hide();
    for (QRadioButton* c : {c1, c2, c3})
        c->hide();
    username->setText(accounts::normalisedName(username->text()));
    if (!connected()) {
        // The network is away: go round again until it is back.
        sequenceStep = 0;
        Timer2->start();
        return;
    }
    Timer2->stop();
    sequenceStep = 0;
    LMDSimpleLabel2->show();
    m_signInRunning = true;
    session().signIn({username->text(), typedPassword, mem, mem.adapterAddress});
}

void TNetwork::restartSequence(bool serverFault)
{
    if (serverFault && connected() && ++failedPasses >= kMaxFailedPasses) {
        failedPasses = 0;
        Timer2->stop();
        sequenceStep = 0;
        for (QWidget* w :
             std::initializer_list<QWidget*>{username, pass, Button2, c1, c2, c3, Label1})
            w->show();
        setSignInCaption(kTxtServerNotAnswering);
        return;
    }
    sequenceStep = 0;
    Timer2->start();
}

void TNetwork::onSignedIn(const SignInResult& result)
{
    m_signInRunning = false;
    applyDirectory(result.connect);
    LMDSimpleLabel2->hide();
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
    mem = result.record;
    const QString name = username->text();
    switch (result.outcome) {
    case accounts::Outcome::WrongPassword:
        setSignInCaption(kTxtWrongPassword);
        acc2.clear();
        RegShow();
        pass->setFocus();
        return;
    case accounts::Outcome::RefusedName:
    case accounts::Outcome::RefusedCharacters:
    case accounts::Outcome::DirectoryBusy:
        // Nothing was written; the user gets the screen back to try again.
        for (QWidget* w :
             std::initializer_list<QWidget*>{username, pass, Button2, c1, c2, c3, Label1})
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
    if (mem.option != u"autologin")
        QFile::remove(m_ctx.folders().userDataDir + store::local::kPassword);
    m_directory.firstFill(result.directory, name);
    showUsers();
    SystemShow(result.avatarFile);
    if (!m_directory.selectedPeer().isEmpty()) {
        m_directory.selectPeer();
        showUsers();
        usersSelect();
    }
}

void TNetwork::SystemShow(const QString& avatarFile)
{
    signedInMark = 1;
    m_signedIn = true;
    for (QWidget* w : std::initializer_list<QWidget*>{username, pass, Button2, c1, c2, c3, Label1})
        w->hide();
    SessionUser = username->text();
    User->setText(SessionUser);
    const Folders f = m_ctx.folders();
    // Conversations stay with the user: other local accounts may not read them.
    helpers::makePrivateFolder(f.programDataDir + QStringLiteral("net/") + SessionUser);
    helpers::makePrivateFolder(f.userDataDir + QStringLiteral("net/") + SessionUser);

    // A fill that ran before the name was known (an automatic sign-in) left the own line in
    // the list; it goes, and its region and activity fill the profile.
    QString own = m_directory.takeOwnLine(SessionUser);
    if (own.isEmpty()) {
        const int at = UserDirectory::find(m_directory.userst(), SessionUser);
        own = at >= 0 ? m_directory.userst().at(at) : QString();
    }
    const QString region = userentry::field(own, 2);
    const QString activity = userentry::field(own, 3);
    regionname->setEditText(region.isEmpty() ? m_ctx.text(110) : region);
    subjecttype->setEditText(activity.isEmpty() ? m_ctx.text(320) : activity);
    showUsers();

    User->show();
    users->setFixedHeight(kUsersHeight);
    users->show();
    online->setChecked(true);
    online->show();

    // A missing or broken picture: the stock one.
    if (avatarFile.isEmpty() || !ava->loadPicture(avatarFile))
        ava->loadPicture(f.programDataDir + QStringLiteral("avax.png"));
    ava->show();
    more->show();

    users->clearSelection();
    if (isVisible())
        users->setFocus();
}

void TNetwork::RegShow()
{
    if (mem.toLines().isEmpty())
        mem = store::AccountRecord();
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
    block1hide();
    m_directory.clear();
    showUsers();
    checkGuarded({c1, c2, c3}, mem.option == u"x"           ? c3
                               : mem.option == u"nopass"    ? c2
                               : mem.option == u"autologin" ? c1
                                                            : nullptr);
    rnm->hide();
    sms->hide();
    Label1->show();
    SessionUser = User->text();
    User->setText(QStringLiteral("-"));
    username->show();
    pass->setEchoMode(QLineEdit::Normal);
    pass->setText(m_ctx.text(132));
    for (QWidget* w : std::initializer_list<QWidget*>{pass, Button2, c1, c2, c3})
        w->show();
    if (mem.userName.isEmpty() && isVisible()) {
        username->setFocus();
        username->setText(m_ctx.text(129));
        username->selectAll();
    }
    if (usernameHoldsName() && isVisible())
        pass->setFocus();
    for (QWidget* w :
         std::initializer_list<QWidget*>{User, user2, user2name, favs, commonfiles, ava, more,
                                         users, online, msg, chat, sendbut, LMDButton2, fbut})
        w->hide();
    users->setFixedHeight(kUsersHeight);
}
