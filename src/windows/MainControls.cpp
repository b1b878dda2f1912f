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
    background = place(new FrameImage(QStringLiteral("bg"), window, FrameImage::Fit::Stretch),
                       QStringLiteral("bg"), 0, 0, kWidth, kHeight, true);
    background->loadPicture((dataDir + QStringLiteral("network.jpg")));
    minimizeImage = place(new FrameImage(QStringLiteral("Image2"), window, FrameImage::Fit::Centre),
                          QStringLiteral("Image2"), 514, 0, 176, 38, true);
    backImage = place(new FrameImage(QStringLiteral("Image1"), window, FrameImage::Fit::Centre),
                      QStringLiteral("Image1"), 1154, 0, 38, 38, true);
    closeImage = place(new FrameImage(QStringLiteral("bclose"), window), QStringLiteral("bclose"),
                       987, 0, 113, 17, true);
    settingsToggle =
        place(new FrameImage(QStringLiteral("more"), window, FrameImage::Fit::StretchProportional),
              QStringLiteral("more"), 1147, 78, 40, 136, false);
    settingsToggle->loadPicture((dataDir + QStringLiteral("more.png")));
    settingsPanel = place(new FrameImage(QStringLiteral("block1"), window),
                          QStringLiteral("block1"), 880, 200, 338, 417, false);
    settingsPanel->setAutoSize(true);
    settingsPanel->loadPicture((dataDir + QStringLiteral("block1.png")));

    for (FrameImage* image : {backImage, minimizeImage, closeImage, settingsToggle})
        image->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : std::initializer_list<QWidget*>{background, settingsPanel, backImage,
                                                      minimizeImage, closeImage, settingsToggle}) {
        w->setMouseTracking(true);
        w->installEventFilter(filter);
    }
}

void MainControls::createViews(QWidget* window, QObject* filter)
{
    // In the order of their places from the top, so later controls lie above earlier ones.
    busyLabel =
        place(new QLabel(window), QStringLiteral("LMDSimpleLabel2"), 123, 16, 175, 24, false);
    busyLabel->setFont(pixelFont(kFontatigo, 19, false));
    busyLabel->setAlignment(Qt::AlignCenter);
    colour(busyLabel, "QLabel", "#AD9A4B", "#6B1625");

    userList = place(new QTreeWidget(window), QStringLiteral("users"), 52, 56, 800, 177, false);
    userList->setFont(pixelFont(kCalibri, 19, false));
    userList->setFrameShape(QFrame::NoFrame);
    userList->setRootIsDecorated(false);
    userList->setHeaderHidden(true);
    userList->setUniformRowHeights(true);
    userList->setColumnCount(6);
    for (const auto& [column, width] :
         {std::pair{0, 30}, {1, 250}, {2, 240}, {3, 310}, {4, 75}, {5, 50}})
        userList->setColumnWidth(column, width);
    userList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    userList->setStyleSheet(
        QStringLiteral("QTreeWidget { color: #595959; background: #E0E0E0; border: none; }"
                       "QTreeWidget::item { height: 24px; border-right: 1px dotted #9A9A9A; }"
                       "QTreeWidget::item:selected { color: #DBDDC6; background: #611422; }"));

    ownAvatar =
        place(new FrameImage(QStringLiteral("ava"), window, FrameImage::Fit::StretchProportional),
              QStringLiteral("ava"), 974, 72, 150, 150, false);
    settingsToggle->raise();
    settingsPanel->raise();

    ownNameLabel = place(new QLabel(window), QStringLiteral("User"), 915, 231, 270, 27, false);
    ownNameLabel->setFont(pixelFont(kCalibri, 19, true));
    ownNameLabel->setText(QStringLiteral("-"));
    colour(ownNameLabel, "QLabel", "#F4F4F4");

    renameEdit = place(new QLineEdit(window), QStringLiteral("rnm"), 927, 238, 245, 22, false);
    renameEdit->setFont(pixelFont(kCalibri, 13, true));
    colour(renameEdit, "QLineEdit", "#1E1E1E", "#E0E0E0");

    receivedFilesButton =
        place(new QPushButton(window), QStringLiteral("fbut"), 52, 240, 149, 25, false);
    receivedFilesButton->setFont(pixelFont(kCalibri, 13, true));
    colour(receivedFilesButton, "QPushButton", "#BFBD60", "#611422");

    conversationView =
        place(new QPlainTextEdit(window), QStringLiteral("chat"), 224, 240, 628, 289, false);
    conversationView->setFont(pixelFont(kCalibri, 16, true));
    conversationView->setFrameShape(QFrame::NoFrame);
    colour(conversationView, "QPlainTextEdit", "#1E1E1E", "#E0E0E0");

    quickSendButton =
        place(new QPushButton(window), QStringLiteral("sms"), 224, 240, 628, 177, false);
    quickSendButton->setFont(pixelFont(kFontatigo, 21, false));
    colour(quickSendButton, "QPushButton", "#BFBD60", "#611422");

    signInTitle = place(new QLabel(window), QStringLiteral("Label1"), 376, 256, 441, 23, true);
    signInTitle->setFont(pixelFont(kCalibri, 16, true));
    colour(signInTitle, "QLabel", "#DBDDC6");

    favouriteMark = place(new FrameImage(QStringLiteral("favs"), window, FrameImage::Fit::Centre),
                          QStringLiteral("favs"), 102, 270, 44, 40, true);

    renameError = place(new QLabel(window), QStringLiteral("usererror"), 984, 279, 130, 15, false);
    renameError->setFont(pixelFont(kCalibri, 13, true));
    colour(renameError, "QLabel", "#E0E0E0");

    nameEdit = place(new QLineEdit(window), QStringLiteral("username"), 484, 288, 234, 21, true);
    nameEdit->setFont(pixelFont(kCalibri, 13, true));
    nameEdit->setAlignment(Qt::AlignCenter);
    colour(nameEdit, "QLineEdit", "#1E1E1E", "#F4F4F4");

    regionBox =
        place(new QComboBox(window), QStringLiteral("regionname"), 898, 303, 302, 37, false);
    regionBox->setEditable(true);
    regionBox->setFont(pixelFont(kCalibri, 24, false));
    colour(regionBox, "QComboBox", "#1E1E1E", "#E0E0E0");

    passwordEdit = place(new QLineEdit(window), QStringLiteral("pass"), 484, 312, 234, 21, true);
    passwordEdit->setFont(pixelFont(kCalibri, 13, false));
    passwordEdit->setAlignment(Qt::AlignCenter);
    colour(passwordEdit, "QLineEdit", "#1E1E1E", "#F4F4F4");

    peerAvatar =
        place(new FrameImage(QStringLiteral("user2"), window, FrameImage::Fit::StretchProportional),
              QStringLiteral("user2"), 70, 314, 110, 110, false);

    signInButton =
        place(new QPushButton(window), QStringLiteral("Button2"), 484, 338, 234, 27, true);
    signInButton->setFont(pixelFont(kCalibri, 13, true));
    colour(signInButton, "QPushButton", "#AD9A4B", "#611422");

    activityBox =
        place(new QComboBox(window), QStringLiteral("subjecttype"), 898, 354, 302, 37, false);
    activityBox->setEditable(true);
    activityBox->setFont(pixelFont(kCalibri, 24, false));
    colour(activityBox, "QComboBox", "#1E1E1E", "#E0E0E0");

    autoSignInOption =
        place(new QRadioButton(window), QStringLiteral("c1"), 488, 368, 225, 50, true);
    saveProfileButton =
        place(new QPushButton(window), QStringLiteral("savesets"), 898, 406, 302, 41, false);
    saveProfileButton->setFont(pixelFont(kFontatigo, 16, false));
    colour(saveProfileButton, "QPushButton", "#BFBD60", "#611422");
    forgetPasswordOption =
        place(new QRadioButton(window), QStringLiteral("c2"), 488, 418, 225, 50, true);

    peerNameLabel = place(new QLabel(window), QStringLiteral("user2name"), 24, 426, 201, 27, false);
    peerNameLabel->setFont(pixelFont(kCalibri, 17, true));
    peerNameLabel->setAlignment(Qt::AlignCenter);
    colour(peerNameLabel, "QLabel", "#D8D8D8");

    sharedComputerOption =
        place(new QRadioButton(window), QStringLiteral("c3"), 488, 468, 225, 50, true);
    signInOptions = new QButtonGroup(window);
    signInOptions->setObjectName(QStringLiteral("signInOptions"));
    for (QRadioButton* c : {autoSignInOption, forgetPasswordOption, sharedComputerOption}) {
        c->setFont(pixelFont(kCalibri, 16, true));
        colour(c, "QRadioButton", "#DBDDC6");
        signInOptions->addButton(c);
    }

    panelForgetPasswordOption =
        place(new QRadioButton(window), QStringLiteral("m2"), 971, 530, 169, 20, false);
    messageEdit =
        place(new QPlainTextEdit(window), QStringLiteral("msg"), 224, 543, 514, 74, false);
    messageEdit->setFont(pixelFont(kCalibri, 16, true));
    messageEdit->setFrameShape(QFrame::NoFrame);
    colour(messageEdit, "QPlainTextEdit", "#1E1E1E", "#E0E0E0");
    sendButton =
        place(new QPushButton(window), QStringLiteral("sendbut"), 739, 543, 113, 48, false);
    sendButton->setFont(pixelFont(kCalibri, 13, true));
    colour(sendButton, "QPushButton", "#BFBD60", "#611422");
    panelSharedComputerOption =
        place(new QRadioButton(window), QStringLiteral("m3"), 971, 548, 169, 20, false);
    panelOptions = new QButtonGroup(window);
    panelOptions->setObjectName(QStringLiteral("panelOptions"));
    for (QRadioButton* m : {panelForgetPasswordOption, panelSharedComputerOption}) {
        m->setFont(pixelFont(kCalibri, 13, true));
        colour(m, "QRadioButton", "#E0E0E0", "black");
        panelOptions->addButton(m);
    }

    signOutButton =
        place(new QPushButton(window), QStringLiteral("dscn"), 979, 570, 153, 17, false);
    signOutButton->setFont(pixelFont(kCalibri, 13, true));
    colour(signOutButton, "QPushButton", "#BFBD60", "#611422");
    deleteAccountButton =
        place(new QPushButton(window), QStringLiteral("delbut"), 979, 587, 153, 17, false);
    deleteAccountButton->setFont(pixelFont(kCalibri, 11, true));
    colour(deleteAccountButton, "QPushButton", "#DBDDC6", "#611422");
    sendFileButton =
        place(new QPushButton(window), QStringLiteral("LMDButton2"), 739, 592, 113, 25, false);
    sendFileButton->setFont(pixelFont(kCalibri, 13, true));
    colour(sendFileButton, "QPushButton", "#DBDDC6", "#611422");

    // Placed by their own views.
    panelCancelButton =
        place(new QPushButton(window), QStringLiteral("LMDButton1"), 898, 454, 302, 25, false);
    colour(panelCancelButton, "QPushButton", "#BFBD60", "#611422");
    commonFilesButton =
        place(new QPushButton(window), QStringLiteral("commonfiles"), 52, 268, 149, 25, false);
    colour(commonFilesButton, "QPushButton", "#BFBD60", "#611422");

    // Shown with the list; nothing reads it. Under the user's picture and name, where it covers
    // neither list height.
    onlineCheck = place(new QCheckBox(window), QStringLiteral("online"), 974, 300, 120, 24, false);
    onlineCheck->setFont(pixelFont(kCalibri, 13, true));
    onlineCheck->setChecked(true);
    // Names come from the server; a name such as "<h1>x" must show as typed.
    for (QLabel* l : {ownNameLabel, peerNameLabel})
        l->setTextFormat(Qt::PlainText);

    for (QWidget* w : std::initializer_list<QWidget*>{ownAvatar, peerAvatar, peerNameLabel,
                                                      ownNameLabel, favouriteMark, busyLabel})
        w->setCursor(Qt::PointingHandCursor);
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setFocusPolicy(Qt::TabFocus);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{ownNameLabel, ownAvatar}) {
        w->setMouseTracking(true);
        w->installEventFilter(filter);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{peerAvatar, peerNameLabel})
        w->installEventFilter(filter);
    userList->viewport()->setMouseTracking(true);
    userList->viewport()->installEventFilter(filter);
}

void MainControls::setCaptions(const AppContext& ctx)
{
    quickSendButton->setText(ctx.text(304));
    receivedFilesButton->setText(ctx.text(141));
    sendButton->setText(ctx.text(142));
    signInButton->setText(ctx.text(131));
    sendFileButton->setText(ctx.text(143));
    renameError->setText(ctx.text(144));
    pictureDialogTitle = ctx.text(145);
    autoSignInOption->setText(ctx.text(146));
    forgetPasswordOption->setText(ctx.text(147));
    sharedComputerOption->setText(ctx.text(148));
    signInTitle->setText(ctx.text(296));
    // The edits and boxes show their placeholder as their text until the user enters them.
    nameEdit->setText(ctx.text(129));
    passwordEdit->setText(ctx.text(132));
    panelCancelButton->setText(ctx.text(160));
    panelForgetPasswordOption->setText(forgetPasswordOption->text());
    panelSharedComputerOption->setText(sharedComputerOption->text());
    signOutButton->setText(ctx.text(149));
    activityBox->setEditText(ctx.text(320));
    regionBox->setEditText(ctx.text(110));
    saveProfileButton->setText(ctx.text(321));
    busyLabel->setText(ctx.text(328));
    commonFilesButton->setText(ctx.text(332));
    favouriteMark->setToolTip(ctx.text(365));
    onlineCheck->setText(ctx.text(kTxtOnline));
    // The headings are hidden; they still name the columns.
    userList->setHeaderLabels({QString(), ctx.text(kTxtNameHeading), ctx.text(kTxtRegionHeading),
                               ctx.text(kTxtActivityHeading), ctx.text(kTxtAvatarTypeHeading),
                               QStringLiteral("LANG")});
}
