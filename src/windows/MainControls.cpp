#include "windows/MainControls.h"

#include "app/AppContext.h"
#include "windows/FrameImage.h"
#include "windows/WindowLook.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 700;
const QString kCalibri = look::calibri();
const QString kFontatigo = look::fontatigo();
using look::pixelFont;
// String-table rows of captions that only this window shows.
constexpr int kTxtOnline = 404;
constexpr int kTxtNameHeading = 405;
constexpr int kTxtRegionHeading = 406;
constexpr int kTxtActivityHeading = 407;
constexpr int kTxtAvatarTypeHeading = 408;

// Text and background colours; an empty background leaves the control see-through.
void colour(QWidget* w, const char* type, const char* text, const char* background = nullptr)
{
    QString sheet = QStringLiteral("%1 { color: %2;").arg(QLatin1String(type), QLatin1String(text));
    if (background)
        sheet +=
            QStringLiteral(" background-color: %1; border: none;").arg(QLatin1String(background));
    else
        sheet += QStringLiteral(" background: transparent;");
    sheet += u'}';
    // The option buttons draw their own round marks, in the text colour.
    if (qstrcmp(type, "QRadioButton") == 0)
        sheet += QStringLiteral(" QRadioButton::indicator { width: 11px; height: 11px;"
                                " border: 1px solid %1; border-radius: 6px; }"
                                " QRadioButton::indicator:checked { background-color: #AD9A4B; }")
                     .arg(QLatin1String(text));
    w->setStyleSheet(sheet);
}

template <typename W>
W* place(W* w, const QString& name, int left, int top, int width, int height, bool shown)
{
    look::place(w, name, left, top, width, height)->setVisible(shown);
    return w;
}

} // namespace

void MainControls::createControls(QWidget* window, QObject* filter, const AppContext& ctx)
{
    createFrame(window, filter, ctx.folders().programDataDir);
    createViews(window, filter);
    setCaptions(ctx);
}

void MainControls::createFrame(QWidget* window, QObject* filter, const QString& dataDir)
{
    frame.background = place(new FrameImage(QStringLiteral("bg"), window, FrameImage::Fit::Stretch),
                             QStringLiteral("bg"), 0, 0, kWidth, kHeight, true);
    frame.background->loadPictureWhenShown(dataDir + QStringLiteral("network.jpg"));
    frame.minimizeImage =
        place(new FrameImage(QStringLiteral("Image2"), window, FrameImage::Fit::Centre),
              QStringLiteral("Image2"), 514, 0, 176, 38, true);
    frame.backImage =
        place(new FrameImage(QStringLiteral("Image1"), window, FrameImage::Fit::Centre),
              QStringLiteral("Image1"), 1154, 0, 38, 38, true);
    frame.closeImage = place(new FrameImage(QStringLiteral("bclose"), window),
                             QStringLiteral("bclose"), 987, 0, 113, 17, true);
    account.settingsToggle =
        place(new FrameImage(QStringLiteral("more"), window, FrameImage::Fit::StretchProportional),
              QStringLiteral("more"), 1147, 78, 40, 136, false);
    account.settingsToggle->loadPicture((dataDir + QStringLiteral("more.png")));
    frame.settingsPanel = place(new FrameImage(QStringLiteral("block1"), window),
                                QStringLiteral("block1"), 880, 200, 338, 417, false);
    frame.settingsPanel->setAutoSize(true);
    frame.settingsPanel->loadPicture((dataDir + QStringLiteral("block1.png")));

    for (FrameImage* image :
         {frame.backImage, frame.minimizeImage, frame.closeImage, account.settingsToggle})
        image->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : std::initializer_list<QWidget*>{frame.background, frame.settingsPanel,
                                                      frame.backImage, frame.minimizeImage,
                                                      frame.closeImage, account.settingsToggle}) {
        w->setMouseTracking(true);
        w->installEventFilter(filter);
    }
}

void MainControls::createViews(QWidget* window, QObject* filter)
{
    // In the order of their places from the top, so later controls lie above earlier ones.
    frame.busyLabel =
        place(new QLabel(window), QStringLiteral("LMDSimpleLabel2"), 123, 16, 175, 24, false);
    frame.busyLabel->setFont(pixelFont(kFontatigo, 19, false));
    frame.busyLabel->setAlignment(Qt::AlignCenter);
    colour(frame.busyLabel, "QLabel", "#AD9A4B", "#6B1625");

    contacts.userList =
        place(new QTreeWidget(window), QStringLiteral("users"), 52, 56, 800, 177, false);
    contacts.userList->setFont(pixelFont(kCalibri, 19, false));
    contacts.userList->setFrameShape(QFrame::NoFrame);
    contacts.userList->setRootIsDecorated(false);
    contacts.userList->setHeaderHidden(true);
    contacts.userList->setUniformRowHeights(true);
    contacts.userList->setColumnCount(6);
    for (const auto& [column, width] :
         {std::pair{0, 30}, {1, 250}, {2, 240}, {3, 310}, {4, 75}, {5, 50}})
        contacts.userList->setColumnWidth(column, width);
    contacts.userList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    contacts.userList->setStyleSheet(
        QStringLiteral("QTreeWidget { color: #595959; background: #E0E0E0; border: none; }"
                       "QTreeWidget::item { height: 24px; border-right: 1px dotted #9A9A9A; }"
                       "QTreeWidget::item:selected { color: #DBDDC6; background: #611422; }"));

    account.ownAvatar =
        place(new FrameImage(QStringLiteral("ava"), window, FrameImage::Fit::StretchProportional),
              QStringLiteral("ava"), 974, 72, 150, 150, false);
    account.settingsToggle->raise();
    frame.settingsPanel->raise();

    account.ownNameLabel =
        place(new QLabel(window), QStringLiteral("User"), 915, 231, 270, 27, false);
    account.ownNameLabel->setFont(pixelFont(kCalibri, 19, true));
    account.ownNameLabel->setText(QStringLiteral("-"));
    colour(account.ownNameLabel, "QLabel", "#F4F4F4");

    account.renameEdit =
        place(new QLineEdit(window), QStringLiteral("rnm"), 927, 238, 245, 22, false);
    account.renameEdit->setFont(pixelFont(kCalibri, 13, true));
    colour(account.renameEdit, "QLineEdit", "#1E1E1E", "#E0E0E0");

    contacts.receivedFilesButton =
        place(new QPushButton(window), QStringLiteral("fbut"), 52, 240, 149, 25, false);
    contacts.receivedFilesButton->setFont(pixelFont(kCalibri, 13, true));
    colour(contacts.receivedFilesButton, "QPushButton", "#BFBD60", "#611422");

    conversation.conversationView =
        place(new QPlainTextEdit(window), QStringLiteral("chat"), 224, 240, 628, 289, false);
    conversation.conversationView->setFont(pixelFont(kCalibri, 16, true));
    conversation.conversationView->setFrameShape(QFrame::NoFrame);
    colour(conversation.conversationView, "QPlainTextEdit", "#1E1E1E", "#E0E0E0");

    conversation.quickSendButton =
        place(new QPushButton(window), QStringLiteral("sms"), 224, 240, 628, 177, false);
    conversation.quickSendButton->setFont(pixelFont(kFontatigo, 21, false));
    colour(conversation.quickSendButton, "QPushButton", "#BFBD60", "#611422");

    signIn.signInTitle =
        place(new QLabel(window), QStringLiteral("Label1"), 376, 256, 441, 23, true);
    signIn.signInTitle->setFont(pixelFont(kCalibri, 16, true));
    colour(signIn.signInTitle, "QLabel", "#DBDDC6");

    contacts.favouriteMark =
        place(new FrameImage(QStringLiteral("favs"), window, FrameImage::Fit::Centre),
              QStringLiteral("favs"), 102, 270, 44, 40, true);

    account.renameError =
        place(new QLabel(window), QStringLiteral("usererror"), 984, 279, 130, 15, false);
    account.renameError->setFont(pixelFont(kCalibri, 13, true));
    colour(account.renameError, "QLabel", "#E0E0E0");

    signIn.nameEdit =
        place(new QLineEdit(window), QStringLiteral("username"), 484, 288, 234, 21, true);
    signIn.nameEdit->setFont(pixelFont(kCalibri, 13, true));
    signIn.nameEdit->setAlignment(Qt::AlignCenter);
    colour(signIn.nameEdit, "QLineEdit", "#1E1E1E", "#F4F4F4");

    account.regionBox =
        place(new QComboBox(window), QStringLiteral("regionname"), 898, 303, 302, 37, false);
    account.regionBox->setEditable(true);
    account.regionBox->setFont(pixelFont(kCalibri, 24, false));
    colour(account.regionBox, "QComboBox", "#1E1E1E", "#E0E0E0");

    signIn.passwordEdit =
        place(new QLineEdit(window), QStringLiteral("pass"), 484, 312, 234, 21, true);
    signIn.passwordEdit->setFont(pixelFont(kCalibri, 13, false));
    signIn.passwordEdit->setAlignment(Qt::AlignCenter);
    colour(signIn.passwordEdit, "QLineEdit", "#1E1E1E", "#F4F4F4");

    contacts.peerAvatar =
        place(new FrameImage(QStringLiteral("user2"), window, FrameImage::Fit::StretchProportional),
              QStringLiteral("user2"), 70, 314, 110, 110, false);

    signIn.signInButton =
        place(new QPushButton(window), QStringLiteral("Button2"), 484, 338, 234, 27, true);
    signIn.signInButton->setFont(pixelFont(kCalibri, 13, true));
    colour(signIn.signInButton, "QPushButton", "#AD9A4B", "#611422");

    account.activityBox =
        place(new QComboBox(window), QStringLiteral("subjecttype"), 898, 354, 302, 37, false);
    account.activityBox->setEditable(true);
    account.activityBox->setFont(pixelFont(kCalibri, 24, false));
    colour(account.activityBox, "QComboBox", "#1E1E1E", "#E0E0E0");

    signIn.autoSignInOption =
        place(new QRadioButton(window), QStringLiteral("c1"), 488, 368, 225, 50, true);
    account.saveProfileButton =
        place(new QPushButton(window), QStringLiteral("savesets"), 898, 406, 302, 41, false);
    account.saveProfileButton->setFont(pixelFont(kFontatigo, 16, false));
    colour(account.saveProfileButton, "QPushButton", "#BFBD60", "#611422");
    signIn.forgetPasswordOption =
        place(new QRadioButton(window), QStringLiteral("c2"), 488, 418, 225, 50, true);

    contacts.peerNameLabel =
        place(new QLabel(window), QStringLiteral("user2name"), 24, 426, 201, 27, false);
    contacts.peerNameLabel->setFont(pixelFont(kCalibri, 17, true));
    contacts.peerNameLabel->setAlignment(Qt::AlignCenter);
    colour(contacts.peerNameLabel, "QLabel", "#D8D8D8");

    signIn.sharedComputerOption =
        place(new QRadioButton(window), QStringLiteral("c3"), 488, 468, 225, 50, true);
    signIn.signInOptions = new QButtonGroup(window);
    signIn.signInOptions->setObjectName(QStringLiteral("signInOptions"));
    for (QRadioButton* c :
         {signIn.autoSignInOption, signIn.forgetPasswordOption, signIn.sharedComputerOption}) {
        c->setFont(pixelFont(kCalibri, 16, true));
        colour(c, "QRadioButton", "#DBDDC6");
        signIn.signInOptions->addButton(c);
    }

    signIn.panelForgetPasswordOption =
        place(new QRadioButton(window), QStringLiteral("m2"), 971, 530, 169, 20, false);
    conversation.messageEdit =
        place(new QPlainTextEdit(window), QStringLiteral("msg"), 224, 543, 514, 74, false);
    conversation.messageEdit->setFont(pixelFont(kCalibri, 16, true));
    conversation.messageEdit->setFrameShape(QFrame::NoFrame);
    colour(conversation.messageEdit, "QPlainTextEdit", "#1E1E1E", "#E0E0E0");
    conversation.sendButton =
        place(new QPushButton(window), QStringLiteral("sendbut"), 739, 543, 113, 48, false);
    conversation.sendButton->setFont(pixelFont(kCalibri, 13, true));
    colour(conversation.sendButton, "QPushButton", "#BFBD60", "#611422");
    signIn.panelSharedComputerOption =
        place(new QRadioButton(window), QStringLiteral("m3"), 971, 548, 169, 20, false);
    signIn.panelOptions = new QButtonGroup(window);
    signIn.panelOptions->setObjectName(QStringLiteral("panelOptions"));
    for (QRadioButton* m : {signIn.panelForgetPasswordOption, signIn.panelSharedComputerOption}) {
        m->setFont(pixelFont(kCalibri, 13, true));
        colour(m, "QRadioButton", "#E0E0E0", "black");
        signIn.panelOptions->addButton(m);
    }

    signIn.signOutButton =
        place(new QPushButton(window), QStringLiteral("dscn"), 979, 570, 153, 17, false);
    signIn.signOutButton->setFont(pixelFont(kCalibri, 13, true));
    colour(signIn.signOutButton, "QPushButton", "#BFBD60", "#611422");
    account.deleteAccountButton =
        place(new QPushButton(window), QStringLiteral("delbut"), 979, 587, 153, 17, false);
    account.deleteAccountButton->setFont(pixelFont(kCalibri, 11, true));
    colour(account.deleteAccountButton, "QPushButton", "#DBDDC6", "#611422");
    conversation.sendFileButton =
        place(new QPushButton(window), QStringLiteral("LMDButton2"), 739, 592, 113, 25, false);
    conversation.sendFileButton->setFont(pixelFont(kCalibri, 13, true));
    colour(conversation.sendFileButton, "QPushButton", "#DBDDC6", "#611422");

    // Placed by their own views.
    account.panelCancelButton =
        place(new QPushButton(window), QStringLiteral("LMDButton1"), 898, 454, 302, 25, false);
    colour(account.panelCancelButton, "QPushButton", "#BFBD60", "#611422");
    contacts.commonFilesButton =
        place(new QPushButton(window), QStringLiteral("commonfiles"), 52, 268, 149, 25, false);
    colour(contacts.commonFilesButton, "QPushButton", "#BFBD60", "#611422");

    // Shown with the list; nothing reads it. Under the user's picture and name, where it covers
    // neither list height.
    account.onlineCheck =
        place(new QCheckBox(window), QStringLiteral("online"), 974, 300, 120, 24, false);
    account.onlineCheck->setFont(pixelFont(kCalibri, 13, true));
    account.onlineCheck->setChecked(true);
    // Names come from the server; a name such as "<h1>x" must show as typed.
    for (QLabel* l : {account.ownNameLabel, contacts.peerNameLabel})
        l->setTextFormat(Qt::PlainText);

    for (QWidget* w : std::initializer_list<QWidget*>{account.ownAvatar, contacts.peerAvatar,
                                                      contacts.peerNameLabel, account.ownNameLabel,
                                                      contacts.favouriteMark, frame.busyLabel})
        w->setCursor(Qt::PointingHandCursor);
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setFocusPolicy(Qt::TabFocus);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{account.ownNameLabel, account.ownAvatar}) {
        w->setMouseTracking(true);
        w->installEventFilter(filter);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{contacts.peerAvatar, contacts.peerNameLabel})
        w->installEventFilter(filter);
    contacts.userList->viewport()->setMouseTracking(true);
    contacts.userList->viewport()->installEventFilter(filter);
}

void MainControls::setCaptions(const AppContext& ctx)
{
    conversation.quickSendButton->setText(ctx.text(304));
    contacts.receivedFilesButton->setText(ctx.text(141));
    conversation.sendButton->setText(ctx.text(142));
    signIn.signInButton->setText(ctx.text(131));
    conversation.sendFileButton->setText(ctx.text(143));
    account.renameError->setText(ctx.text(144));
    account.pictureDialogTitle = ctx.text(145);
    signIn.autoSignInOption->setText(ctx.text(146));
    signIn.forgetPasswordOption->setText(ctx.text(147));
    signIn.sharedComputerOption->setText(ctx.text(148));
    signIn.signInTitle->setText(ctx.text(296));
    // The edits and boxes show their placeholder as their text until the user enters them.
    signIn.nameEdit->setText(ctx.text(129));
    signIn.passwordEdit->setText(ctx.text(132));
    account.panelCancelButton->setText(ctx.text(160));
    signIn.panelForgetPasswordOption->setText(signIn.forgetPasswordOption->text());
    signIn.panelSharedComputerOption->setText(signIn.sharedComputerOption->text());
    signIn.signOutButton->setText(ctx.text(149));
    account.activityBox->setEditText(ctx.text(320));
    account.regionBox->setEditText(ctx.text(110));
    account.saveProfileButton->setText(ctx.text(321));
    frame.busyLabel->setText(ctx.text(328));
    contacts.commonFilesButton->setText(ctx.text(332));
    contacts.favouriteMark->setToolTip(ctx.text(365));
    account.onlineCheck->setText(ctx.text(kTxtOnline));
    // The headings are hidden; they still name the columns.
    contacts.userList->setHeaderLabels({QString(), ctx.text(kTxtNameHeading),
                                        ctx.text(kTxtRegionHeading), ctx.text(kTxtActivityHeading),
                                        ctx.text(kTxtAvatarTypeHeading), QStringLiteral("LANG")});
}
