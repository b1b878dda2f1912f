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
    dbreset = new QTimer(this);
    dbreset->setObjectName(QStringLiteral("dbreset"));
    dbreset->setInterval(3000);
    connect(dbreset, &QTimer::timeout, this, &TNetwork::dbresetTimer);
    connect(savesets, &QPushButton::clicked, this, &TNetwork::savesetsClick);
    connect(delbut, &QPushButton::clicked, this, &TNetwork::delbutClick);
    for (QComboBox* box : {regionname, subjecttype}) {
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
        {regionname, data + suggestions::kRegionsFile},
        {subjecttype, data + suggestions::kActivitiesFile}};
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
        for (const auto& [box, row] : {std::pair{regionname, kTxtRegionPlaceholder},
                                       {subjecttype, kTxtActivityPlaceholder}}) {
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
        if (isEnter(key) && (inBox(regionname) || inBox(subjecttype))) {
            savesetsClick();
            return true;
        }
        if (w == rnm && isEnter(key)) {
            confirmRename();
            return true;
        }
        if (w == rnm && key == Qt::Key_Escape) {
            rnm->setText(m_renameFrom);
            rnm->hide();
            return true;
        }
        return false;
    }
    if (type == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (watched == User) {
            startRename();
            return true;
        }
        if (watched == ava) {
            changeAvatar();
            return true;
        }
    }
    return false;
}

// Profile

void TNetwork::savesetsClick()
{
    if (!connected() || !m_signedIn)
        return;
    QString region = regionname->currentText();
    QString activity = subjecttype->currentText();
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
    regionname->setEditText(region.isEmpty() ? m_ctx.text(kTxtRegionPlaceholder) : region);
    subjecttype->setEditText(activity.isEmpty() ? m_ctx.text(kTxtActivityPlaceholder) : activity);
    LMDSimpleLabel2->show();
    session().saveProfile(region, activity);
}

void TNetwork::onProfileSaved(const ProfileResult& result)
{
    LMDSimpleLabel2->hide();
    if (!result.reached)
        return;
    if (result.error.failed()) {
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (m_signedIn && m_directory.reload(result.directory, SessionUser))
        showUsers();
    block1hide();
    QString region = regionname->currentText();
    QString activity = subjecttype->currentText();
    if (region == m_ctx.text(kTxtRegionPlaceholder))
        region.clear();
    if (activity == m_ctx.text(kTxtActivityPlaceholder))
        activity.clear();
    const QString data = m_ctx.folders().programDataDir;
    suggestions::add(data + suggestions::kActivitiesFile, activity);
    suggestions::add(data + suggestions::kRegionsFile, region);
}

// Deletion

void TNetwork::delbutClick()
{
    // Started once: the window runs from the first press.
    if (!dbreset->isActive())
        dbreset->start();
    if (deleteClicks == 2) {
        dbresetTimer();
        if (!connected() || !m_signedIn)
            return;
        LMDSimpleLabel2->show();
        session().deleteAccount();
        return;
    }
    if (++deleteClicks == 2)
        delbut->setText(m_ctx.text(kTxtConfirmDeleting));
}

void TNetwork::dbresetTimer()
{
    deleteClicks = 0;
    delbut->setText(m_ctx.text(kTxtDeleteAccount));
    dbreset->stop();
}

void TNetwork::onAccountDeleted(const DeletionResult& result)
{
    LMDSimpleLabel2->hide();
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
    Timer4->stop();
    AutologinDone = false;
    mem.userName.clear();
    acc2.clear();
    username->clear();
    QFile::remove(m_ctx.folders().userDataDir + store::local::kPassword);
    session().setSessionUser(QString());
    RegShow();
    SessionUser.clear();
}

// Rename

void TNetwork::showUserError(const QString& text)
{
    usererror->setText(text);
    usererror->show();
    usererrortimer->start();
}

void TNetwork::startRename()
{
    if (!m_signedIn)
        return;
    m_renameFrom = User->text();
    rnm->setText(m_renameFrom);
    rnm->setReadOnly(false);
    rnm->setCursorPosition(static_cast<int>(m_renameFrom.size()));
    rnm->show();
    rnm->raise();
    rnm->setFocus();
}

void TNetwork::confirmRename()
{
    const QString typed = rnm->text();
    if (rnm->isReadOnly() || typed.isEmpty() ||
        typed.compare(m_ctx.text(kTxtNamePlaceholder), Qt::CaseInsensitive) == 0 ||
        typed == m_renameFrom)
        return;
    const QString name = accounts::normalisedName(typed);
    if (name == m_renameFrom) {
        rnm->hide();
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
    rnm->setText(name);
    // One rename at a time; the name changes when the server says it has.
    rnm->setReadOnly(true);
    LMDSimpleLabel2->show();
    session().renameAccount({m_renameFrom, name, mem});
}

void TNetwork::onAccountRenamed(const RenameResult& result)
{
    LMDSimpleLabel2->hide();
    rnm->setReadOnly(false);
    const QString& from = result.request.oldName;
    const auto keepOldName = [this, &from] {
        rnm->setText(from);
        if (usernameHoldsName())
            username->setText(from);
    };
    if (!result.reached) {
        rnm->hide();
        return;
    }
    if (result.error.failed()) {
        rnm->hide();
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
        rnm->hide();
        m_ctx.platform().desktop->showError(m_ctx.text(StringTable::kTxtRenameRolledBack) +
                                            result.rename.failure);
        return;
    case upkeep::Renamed::Renamed:
        break;
    }
    const QString& name = result.request.newName;
    mem = result.record;
    SessionUser = name;
    User->setText(name);
    username->setText(name);
    m_renameFrom = name;
    rnm->hide();
    if (m_directory.reload(result.rename.directory, SessionUser))
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
        m_ctx.platform().desktop->choosePicture(OpenPicTitle, start, kPictureFilters);
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
    LMDSimpleLabel2->show();
    session().changeAvatar({m_stagedAvatar, extension, mem});
}

void TNetwork::onAvatarChanged(const AvatarResult& result)
{
    LMDSimpleLabel2->hide();
    QFile::remove(m_stagedAvatar);
    if (!result.reached)
        return;
    if (result.error.failed()) {
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    mem = result.record;
    if (!ava->loadPicture(result.avatarFile))
        ava->loadPicture(m_ctx.folders().programDataDir + QStringLiteral("avax.png"));
}
