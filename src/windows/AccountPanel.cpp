// The account's upkeep: the profile of the settings panel, the deletion, the rename and the own
// picture. Every server step is a request of the client session.
#include "windows/AccountPanel.h"

#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Cp1251.h"
#include "core/Helpers.h"
#include "core/Suggestions.h"
#include "core/uLocal.h"
#include "session/ClientState.h"
#include "windows/FrameImage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

constexpr int kTxtDeleteAccount = 130;
constexpr int kTxtConfirmDeleting = 84;
constexpr int kTxtNameTaken = 144;

// Qt cannot read Enhanced Metafiles and Metafiles on Linux, so they are not offered.
const QString kPictureFilters = QStringLiteral("All (*.png *.jpg *.jpeg *.bmp *.ico);;"
                                               "Portable Network Graphics (*.png);;"
                                               "JPEG Image File (*.jpg);;"
                                               "JPEG Image File (*.jpeg);;"
                                               "Bitmaps (*.bmp);;"
                                               "Icons (*.ico)");

bool isEnter(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QStringList sortedForBox(QStringList values)
{
    values.sort(Qt::CaseInsensitive);
    return values;
}

} // namespace

AccountPanel::AccountPanel(TNetwork& window, MainControls::Account& controls, AppContext& ctx)
    : QObject(&window), m_window(window), m_ui(controls), m_ctx(ctx)
{
    m_renameErrorTimer = new QTimer(this);
    m_renameErrorTimer->setObjectName(QStringLiteral("usererrortimer"));
    m_renameErrorTimer->setInterval(3000);
    connect(m_renameErrorTimer, &QTimer::timeout, this, &AccountPanel::onRenameErrorTick);
    m_deleteConfirmTimer = new QTimer(this);
    m_deleteConfirmTimer->setObjectName(QStringLiteral("dbreset"));
    m_deleteConfirmTimer->setInterval(3000);
    connect(m_deleteConfirmTimer, &QTimer::timeout, this, &AccountPanel::onDeleteConfirmTimeout);
    connect(m_ui.saveProfileButton, &QPushButton::clicked, this, &AccountPanel::onSaveProfile);
    connect(m_ui.deleteAccountButton, &QPushButton::clicked, this, &AccountPanel::onDeleteAccount);
    for (QComboBox* box : {m_ui.regionBox, m_ui.activityBox}) {
        // Enter saves; it never adds the typed text as an item.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->installEventFilter(&m_window);
    }
    ClientSession& s = m_window.session();
    connect(&s, &ClientSession::profileSaved, this, &AccountPanel::onProfileSaved);
    connect(&s, &ClientSession::accountDeleted, this, &AccountPanel::onAccountDeleted);
    connect(&s, &ClientSession::accountRenamed, this, &AccountPanel::onAccountRenamed);
    connect(&s, &ClientSession::avatarChanged, this, &AccountPanel::onAvatarChanged);
    suggestions::prepare(m_ctx.folders().programDataDir, builtInRegions(m_ctx.languageCode()));

    // The user's name, picture and controls follow who is signed in.
    connect(&m_ctx.state(), &ClientState::userChanged, this, &AccountPanel::renderAccount);
    connect(&m_ctx.state(), &ClientState::ownAvatarChanged, this, &AccountPanel::renderAvatar);
}

void AccountPanel::renderAccount()
{
    const ClientState& state = m_ctx.state();
    const bool on = state.signedIn();
    m_ui.ownNameLabel->setText(on ? state.user() : QStringLiteral("-"));
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui.ownNameLabel, m_ui.ownAvatar,
                                                      m_ui.settingsToggle, m_ui.onlineCheck})
        w->setVisible(on);
    if (on) {
        // A new sign-in is online, whatever the last user chose.
        m_ui.onlineCheck->setChecked(true);
    } else {
        m_ui.renameEdit->hide();
    }
}

void AccountPanel::renderAvatar()
{
    const QString file = m_ctx.state().ownAvatarFile();
    // A missing or broken picture: the stock one.
    if (file.isEmpty() || !m_ui.ownAvatar->loadPicture(file))
        m_ui.ownAvatar->loadPicture(m_ctx.folders().programDataDir + QStringLiteral("avax.png"));
}

void AccountPanel::showProfile(const QString& ownEntry)
{
    const QString region = userentry::field(ownEntry, 2);
    const QString activity = userentry::field(ownEntry, 3);
    m_ui.regionBox->setEditText(region.isEmpty() ? m_ctx.text(StringTable::kTxtRegionPlaceholder)
                                                 : region);
    m_ui.activityBox->setEditText(
        activity.isEmpty() ? m_ctx.text(StringTable::kTxtActivityPlaceholder) : activity);
}

void AccountPanel::loadSuggestions()
{
    const QString data = m_ctx.folders().programDataDir;
    const std::pair<QComboBox*, QString> boxes[] = {
        {m_ui.regionBox, data + suggestions::kRegionsFile},
        {m_ui.activityBox, data + suggestions::kActivitiesFile}};
    for (const auto& [box, file] : boxes) {
        // The box keeps what it shows; only its list is new.
        const QString shown = box->currentText();
        box->clear();
        box->addItems(sortedForBox(suggestions::load(file)));
        box->setEditText(shown);
    }
}

bool AccountPanel::handleEvent(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        for (const auto& [box, row] :
             {std::pair{m_ui.regionBox, StringTable::kTxtRegionPlaceholder},
              {m_ui.activityBox, StringTable::kTxtActivityPlaceholder}}) {
            if (watched != box)
                continue;
            // regionnameEnter / regionnameExit and the same of subjecttype.
            if (type == QEvent::FocusIn && box->currentText() == m_ctx.text(row))
                box->setEditText(QString());
            else if (type == QEvent::FocusOut && box->currentText().isEmpty())
                box->setEditText(m_ctx.text(row));
        }
        return false;
    }
    if (type == QEvent::KeyPress) {
        auto* w = qobject_cast<QWidget*>(watched);
        QWidget* first = m_window.focusWidget() ? m_window.focusWidget() : &m_window;
        if (!w || w != first)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        const auto inBox = [w](QComboBox* box) { return w == box || w == box->lineEdit(); };
        if (isEnter(key) && (inBox(m_ui.regionBox) || inBox(m_ui.activityBox))) {
            onSaveProfile();
            return true;
        }
        if (w == m_ui.renameEdit && isEnter(key)) {
            confirmRename();
            return true;
        }
        if (w == m_ui.renameEdit && key == Qt::Key_Escape) {
            m_ui.renameEdit->setText(m_renameFrom);
            m_ui.renameEdit->hide();
            return true;
        }
        return false;
    }
    if (type == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (watched == m_ui.ownNameLabel) {
            startRename();
            return true;
        }
        if (watched == m_ui.ownAvatar) {
            changeAvatar();
            return true;
        }
    }
    return false;
}

// Profile

std::pair<QString, QString> AccountPanel::typedProfile() const
{
    // A box that still shows its placeholder holds nothing.
    const auto typed = [this](const QComboBox* box, int placeholder) {
        const QString text = box->currentText();
        return text == m_ctx.text(placeholder) ? QString() : text;
    };
    return {typed(m_ui.regionBox, StringTable::kTxtRegionPlaceholder),
            typed(m_ui.activityBox, StringTable::kTxtActivityPlaceholder)};
}

void AccountPanel::onSaveProfile()
{
    if (!m_window.connected() || !m_window.signedIn())
        return;
    const auto [region, activity] = typedProfile();
    // "}" would split the directory line into more fields, a line break into more lines.
    if (!suggestions::fitsDirectoryField(region) || !suggestions::fitsDirectoryField(activity)) {
        m_ctx.platform().desktop->showError(m_ctx.text(StringTable::kTxtProfileFieldRefused));
        return;
    }
    // The directory is written in windows-1251: other characters would come back as "?".
    if (const QString refused = cp1251::unencodable(region + activity); !refused.isEmpty()) {
        m_ctx.platform().desktop->showError(m_ctx.text(StringTable::kTxtRefusedCharacters) +
                                            refused);
        return;
    }
    m_ui.regionBox->setEditText(region.isEmpty() ? m_ctx.text(StringTable::kTxtRegionPlaceholder)
                                                 : region);
    m_ui.activityBox->setEditText(
        activity.isEmpty() ? m_ctx.text(StringTable::kTxtActivityPlaceholder) : activity);
    m_ctx.state().setWorking(ClientState::Work::Account, true);
    m_window.session().saveProfile(region, activity);
}

void AccountPanel::onProfileSaved(const ProfileResult& result)
{
    m_ctx.state().setWorking(ClientState::Work::Account, false);
    if (!result.reached)
        return;
    if (result.error.failed()) {
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    bool changed = false;
    if (m_window.signedIn()) {
        const QString user = m_window.sessionUser();
        m_ctx.state().changeDirectory(
            [&](UserDirectory& d) { changed = d.reload(result.directory, user); });
    }
    if (changed)
        m_window.showUsers();
    m_window.hideSettingsPanel();
    const auto [region, activity] = typedProfile();
    const QString data = m_ctx.folders().programDataDir;
    suggestions::add(data + suggestions::kActivitiesFile, activity);
    suggestions::add(data + suggestions::kRegionsFile, region);
}

// Deletion

void AccountPanel::onDeleteAccount()
{
    // Started once: the window runs from the first press.
    if (!m_deleteConfirmTimer->isActive())
        m_deleteConfirmTimer->start();
    if (m_deletePresses == 2) {
        onDeleteConfirmTimeout();
        if (!m_window.connected() || !m_window.signedIn())
            return;
        m_ctx.state().setWorking(ClientState::Work::Account, true);
        m_window.session().deleteAccount();
        return;
    }
    if (++m_deletePresses == 2)
        m_ui.deleteAccountButton->setText(m_ctx.text(kTxtConfirmDeleting));
}

void AccountPanel::onDeleteConfirmTimeout()
{
    m_deletePresses = 0;
    m_ui.deleteAccountButton->setText(m_ctx.text(kTxtDeleteAccount));
    m_deleteConfirmTimer->stop();
}

void AccountPanel::onAccountDeleted(const DeletionResult& result)
{
    m_ctx.state().setWorking(ClientState::Work::Account, false);
    if (!result.reached)
        return;
    const upkeep::Deletion& d = result.deletion;
    if (!d.folderRemoved) {
        // The account stays whole enough to sign in to and to delete again.
        m_ctx.platform().desktop->showError(
            m_ctx.text(StringTable::kTxtDeletionIncomplete) +
            (d.remaining.isEmpty() ? result.error.text : d.remaining.join(QStringLiteral(", "))));
        return;
    }
    if (result.error.failed())
        m_ctx.platform().desktop->showError(m_ctx.text(StringTable::kTxtDeletionIncomplete) +
                                            QStringLiteral("lineup.xo: ") + result.error.text);
    // Forget the account here; the option buttons keep their state.
    m_window.forgetAccount();
    m_window.setTypedName(QString());
    QFile::remove(m_ctx.folders().userDataDir + store::local::kPassword);
    m_window.session().setSessionUser(QString());
    m_window.showSignInScreen();
    m_window.setSessionUser(QString());
}

// Rename

void AccountPanel::showUserError(const QString& text)
{
    m_ui.renameError->setText(text);
    m_ui.renameError->show();
    m_renameErrorTimer->start();
}

void AccountPanel::startRename()
{
    if (!m_window.signedIn())
        return;
    m_renameFrom = m_ctx.state().user();
    m_ui.renameEdit->setText(m_renameFrom);
    m_ui.renameEdit->setReadOnly(false);
    m_ui.renameEdit->setCursorPosition(static_cast<int>(m_renameFrom.size()));
    m_ui.renameEdit->show();
    m_ui.renameEdit->raise();
    m_ui.renameEdit->setFocus();
}

void AccountPanel::confirmRename()
{
    const QString typed = m_ui.renameEdit->text();
    if (m_ui.renameEdit->isReadOnly() || typed.isEmpty() ||
        typed.compare(m_ctx.text(StringTable::kTxtNamePlaceholder), Qt::CaseInsensitive) == 0 ||
        typed == m_renameFrom)
        return;
    const QString name = accounts::normalisedName(typed);
    if (name == m_renameFrom) {
        m_ui.renameEdit->hide();
        return;
    }
    if (const QString refused = cp1251::unencodable(name); !refused.isEmpty()) {
        showUserError(m_ctx.text(StringTable::kTxtRefusedCharacters) + refused);
        return;
    }
    if (!accounts::registrableName(name)) {
        showUserError(m_ctx.text(StringTable::kTxtNameNotClean));
        return;
    }
    m_ui.renameEdit->setText(name);
    // One rename at a time; the name changes when the server says it has.
    m_ui.renameEdit->setReadOnly(true);
    m_ctx.state().setWorking(ClientState::Work::Account, true);
    m_window.session().renameAccount({m_renameFrom, name, m_window.accountRecord()});
}

void AccountPanel::onAccountRenamed(const RenameResult& result)
{
    m_ctx.state().setWorking(ClientState::Work::Account, false);
    m_ui.renameEdit->setReadOnly(false);
    const QString& from = result.request.oldName;
    const auto keepOldName = [this, &from] {
        m_ui.renameEdit->setText(from);
        if (m_window.usernameHoldsName())
            m_window.setTypedName(from);
    };
    if (!result.reached) {
        m_ui.renameEdit->hide();
        return;
    }
    if (result.error.failed()) {
        m_ui.renameEdit->hide();
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    switch (result.rename.outcome) {
    case upkeep::Renamed::Taken:
        keepOldName();
        showUserError(m_ctx.text(kTxtNameTaken));
        return;
    case upkeep::Renamed::RefusedName:
        keepOldName();
        showUserError(m_ctx.text(StringTable::kTxtNameNotClean));
        return;
    case upkeep::Renamed::RolledBack:
        keepOldName();
        m_ui.renameEdit->hide();
        m_ctx.platform().desktop->showError(m_ctx.text(StringTable::kTxtRenameRolledBack) +
                                            result.rename.failure);
        return;
    case upkeep::Renamed::Renamed:
        break;
    }
    const QString& name = result.request.newName;
    m_window.setAccountRecord(result.record);
    m_window.setSessionUser(name);
    m_ctx.state().rename(name);
    m_ui.ownNameLabel->setText(name);
    m_window.setTypedName(name);
    m_renameFrom = name;
    m_ui.renameEdit->hide();
    bool changed = false;
    m_ctx.state().changeDirectory(
        [&](UserDirectory& d) { changed = d.reload(result.rename.directory, name); });
    if (changed)
        m_window.showUsers();
}

// Picture

void AccountPanel::changeAvatar()
{
    m_window.closeAvatarViewer();
    if (!m_window.signedIn())
        return;
    const Folders f = m_ctx.folders();
    const QString start =
        QFileInfo(f.myImagesDir).isDir() ? f.myImagesDir : helpers::documentsFolder();
    const QString picked =
        m_ctx.platform().desktop->choosePicture(m_ui.pictureDialogTitle, start, kPictureFilters);
    if (picked.isEmpty())
        return;
    // Checked before anything changes: a picture nobody can show must not become the avatar.
    QImageReader reader(picked);
    const QByteArray format = reader.format();
    const QImage image = reader.read();
    const QString suffix = QFileInfo(picked).suffix();
    if (image.isNull() || suffix.isEmpty()) {
        m_ctx.platform().desktop->showError(m_ctx.text(StringTable::kTxtPictureUnreadable));
        return;
    }
    const QString extension = u'.' + suffix;
    if (!f.myImagesDir.isEmpty() &&
        QFileInfo(QFileInfo(picked).absolutePath()) != QFileInfo(f.myImagesDir) &&
        QDir().mkpath(f.myImagesDir)) {
        const QString copy = QDir(f.myImagesDir).filePath(QFileInfo(picked).fileName());
        QFile::remove(copy);
        QFile::copy(picked, copy);
    }
    // The original stays in the images folder; the server gets a picture of a sensible size.
    m_stagedAvatar = f.tempDataDir + QStringLiteral("ava}new") + extension;
    QFile::remove(m_stagedAvatar);
    const bool large = image.width() > kAvatarLimit || image.height() > kAvatarLimit;
    if (!large ||
        !image.scaled(kAvatarLimit, kAvatarLimit, Qt::KeepAspectRatio, Qt::SmoothTransformation)
             .save(m_stagedAvatar, format.constData()))
        QFile::copy(picked, m_stagedAvatar);
    m_ctx.state().setWorking(ClientState::Work::Account, true);
    m_window.session().changeAvatar({m_stagedAvatar, extension, m_window.accountRecord()});
}

void AccountPanel::onAvatarChanged(const AvatarResult& result)
{
    m_ctx.state().setWorking(ClientState::Work::Account, false);
    QFile::remove(m_stagedAvatar);
    if (!result.reached)
        return;
    if (result.error.failed()) {
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    m_window.setAccountRecord(result.record);
    m_ctx.state().setOwnAvatar(result.avatarFile);
}

void AccountPanel::onRenameErrorTick()
{
    m_ui.renameError->hide();
    m_renameErrorTimer->stop();
}

void AccountPanel::resetDeletion()
{
    m_ui.deleteAccountButton->setText(m_ctx.text(kTxtDeleteAccount));
    m_deletePresses = 0;
}
