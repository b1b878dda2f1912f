// The account's upkeep: the profile of the settings panel, the deletion, the rename and the own
// picture. Every server step is a request of the client session.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Cp1251.h"
#include "core/Helpers.h"
#include "core/Suggestions.h"
#include "core/uLocal.h"
#include "windows/FrameImage.h"

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
constexpr int kTxtNameNotClean = 20;

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

void TNetwork::createAccountUpkeep()
{
    deleteConfirmTimer = new QTimer(this);
    deleteConfirmTimer->setObjectName(QStringLiteral("dbreset"));
    deleteConfirmTimer->setInterval(3000);
    connect(deleteConfirmTimer, &QTimer::timeout, this, &TNetwork::onDeleteConfirmTimeout);
    connect(saveProfileButton, &QPushButton::clicked, this, &TNetwork::onSaveProfile);
    connect(deleteAccountButton, &QPushButton::clicked, this, &TNetwork::onDeleteAccount);
    for (QComboBox* box : {regionBox, activityBox}) {
        // Enter saves; it never adds the typed text as an item.
        box->setInsertPolicy(QComboBox::NoInsert);
        box->installEventFilter(this);
    }
    ClientSession& s = session();
    connect(&s, &ClientSession::profileSaved, this, &TNetwork::onProfileSaved);
    connect(&s, &ClientSession::accountDeleted, this, &TNetwork::onAccountDeleted);
    connect(&s, &ClientSession::accountRenamed, this, &TNetwork::onAccountRenamed);
    connect(&s, &ClientSession::avatarChanged, this, &TNetwork::onAvatarChanged);
    suggestions::prepare(m_ctx.folders().programDataDir, builtInRegions(m_ctx.languageCode()));
}

void TNetwork::loadSuggestions()
{
    const QString data = m_ctx.folders().programDataDir;
    const std::pair<QComboBox*, QString> boxes[] = {
        {regionBox, data + suggestions::kRegionsFile},
        {activityBox, data + suggestions::kActivitiesFile}};
    for (const auto& [box, file] : boxes) {
        // The box keeps what it shows; only its list is new.
        const QString shown = box->currentText();
        box->clear();
        box->addItems(sortedForBox(suggestions::load(file)));
        box->setEditText(shown);
    }
}

bool TNetwork::accountEvent(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        for (const auto& [box, row] : {std::pair{regionBox, kTxtRegionPlaceholder},
                                       {activityBox, kTxtActivityPlaceholder}}) {
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
        QWidget* first = focusWidget() ? focusWidget() : this;
        if (!w || w != first)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        const auto inBox = [w](QComboBox* box) { return w == box || w == box->lineEdit(); };
        if (isEnter(key) && (inBox(regionBox) || inBox(activityBox))) {
            onSaveProfile();
            return true;
        }
        if (w == renameEdit && isEnter(key)) {
            confirmRename();
            return true;
        }
        if (w == renameEdit && key == Qt::Key_Escape) {
            renameEdit->setText(m_renameFrom);
            renameEdit->hide();
            return true;
        }
        return false;
    }
    if (type == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (watched == ownNameLabel) {
            startRename();
            return true;
        }
        if (watched == ownAvatar) {
            changeAvatar();
            return true;
        }
    }
    return false;
}

// Profile

void TNetwork::onSaveProfile()
{
    if (!connected() || !m_signedIn)
        return;
    QString region = regionBox->currentText();
    QString activity = activityBox->currentText();
    if (region == m_ctx.text(kTxtRegionPlaceholder))
        region.clear();
    if (activity == m_ctx.text(kTxtActivityPlaceholder))
        activity.clear();
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
    regionBox->setEditText(region.isEmpty() ? m_ctx.text(kTxtRegionPlaceholder) : region);
    activityBox->setEditText(activity.isEmpty() ? m_ctx.text(kTxtActivityPlaceholder) : activity);
    busyLabel->show();
    session().saveProfile(region, activity);
}

void TNetwork::onProfileSaved(const ProfileResult& result)
{
    busyLabel->hide();
    if (!result.reached)
        return;
    if (result.error.failed()) {
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (m_signedIn && m_directory.reload(result.directory, sessionUser))
        showUsers();
    hideSettingsPanel();
    QString region = regionBox->currentText();
    QString activity = activityBox->currentText();
    if (region == m_ctx.text(kTxtRegionPlaceholder))
        region.clear();
    if (activity == m_ctx.text(kTxtActivityPlaceholder))
        activity.clear();
    const QString data = m_ctx.folders().programDataDir;
    suggestions::add(data + suggestions::kActivitiesFile, activity);
    suggestions::add(data + suggestions::kRegionsFile, region);
}

// Deletion

void TNetwork::onDeleteAccount()
{
    // Started once: the window runs from the first press.
    if (!deleteConfirmTimer->isActive())
        deleteConfirmTimer->start();
    if (deletePresses == 2) {
        onDeleteConfirmTimeout();
        if (!connected() || !m_signedIn)
            return;
        busyLabel->show();
        session().deleteAccount();
        return;
    }
    if (++deletePresses == 2)
        deleteAccountButton->setText(m_ctx.text(kTxtConfirmDeleting));
}

void TNetwork::onDeleteConfirmTimeout()
{
    deletePresses = 0;
    deleteAccountButton->setText(m_ctx.text(kTxtDeleteAccount));
    deleteConfirmTimer->stop();
}

void TNetwork::onAccountDeleted(const DeletionResult& result)
{
    busyLabel->hide();
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
    autoSignInTimer->stop();
    autoSignInDone = false;
    accountRecord.userName.clear();
    savedPassword.clear();
    nameEdit->clear();
    QFile::remove(m_ctx.folders().userDataDir + store::local::kPassword);
    session().setSessionUser(QString());
    showSignInView();
    sessionUser.clear();
}

// Rename

void TNetwork::showUserError(const QString& text)
{
    renameError->setText(text);
    renameError->show();
    renameErrorTimer->start();
}

void TNetwork::startRename()
{
    if (!m_signedIn)
        return;
    m_renameFrom = ownNameLabel->text();
    renameEdit->setText(m_renameFrom);
    renameEdit->setReadOnly(false);
    renameEdit->setCursorPosition(static_cast<int>(m_renameFrom.size()));
    renameEdit->show();
    renameEdit->raise();
    renameEdit->setFocus();
}

void TNetwork::confirmRename()
{
    const QString typed = renameEdit->text();
    if (renameEdit->isReadOnly() || typed.isEmpty() ||
        typed.compare(m_ctx.text(kTxtNamePlaceholder), Qt::CaseInsensitive) == 0 ||
        typed == m_renameFrom)
        return;
    const QString name = accounts::normalisedName(typed);
    if (name == m_renameFrom) {
        renameEdit->hide();
        return;
    }
    if (const QString refused = cp1251::unencodable(name); !refused.isEmpty()) {
        showUserError(m_ctx.text(StringTable::kTxtRefusedCharacters) + refused);
        return;
    }
    if (!accounts::registrableName(name)) {
        showUserError(m_ctx.text(kTxtNameNotClean));
        return;
    }
    renameEdit->setText(name);
    // One rename at a time; the name changes when the server says it has.
    renameEdit->setReadOnly(true);
    busyLabel->show();
    session().renameAccount({m_renameFrom, name, accountRecord});
}

void TNetwork::onAccountRenamed(const RenameResult& result)
{
    busyLabel->hide();
    renameEdit->setReadOnly(false);
    const QString& from = result.request.oldName;
    const auto keepOldName = [this, &from] {
        renameEdit->setText(from);
        if (usernameHoldsName())
            nameEdit->setText(from);
    };
    if (!result.reached) {
        renameEdit->hide();
        return;
    }
    if (result.error.failed()) {
        renameEdit->hide();
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
        showUserError(m_ctx.text(kTxtNameNotClean));
        return;
    case upkeep::Renamed::RolledBack:
        keepOldName();
        renameEdit->hide();
        m_ctx.platform().desktop->showError(m_ctx.text(StringTable::kTxtRenameRolledBack) +
                                            result.rename.failure);
        return;
    case upkeep::Renamed::Renamed:
        break;
    }
    const QString& name = result.request.newName;
    accountRecord = result.record;
    sessionUser = name;
    ownNameLabel->setText(name);
    nameEdit->setText(name);
    m_renameFrom = name;
    renameEdit->hide();
    if (m_directory.reload(result.rename.directory, sessionUser))
        showUsers();
}

// Picture

void TNetwork::changeAvatar()
{
    closeAvatarViewer();
    if (!m_signedIn)
        return;
    const Folders f = m_ctx.folders();
    const QString start =
        QFileInfo(f.myImagesDir).isDir() ? f.myImagesDir : helpers::documentsFolder();
    const QString picked =
        m_ctx.platform().desktop->choosePicture(pictureDialogTitle, start, kPictureFilters);
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
    busyLabel->show();
    session().changeAvatar({m_stagedAvatar, extension, accountRecord});
}

void TNetwork::onAvatarChanged(const AvatarResult& result)
{
    busyLabel->hide();
    QFile::remove(m_stagedAvatar);
    if (!result.reached)
        return;
    if (result.error.failed()) {
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    accountRecord = result.record;
    if (!ownAvatar->loadPicture(result.avatarFile))
        ownAvatar->loadPicture(m_ctx.folders().programDataDir + QStringLiteral("avax.png"));
}
