#pragma once

#include "windows/MainControls.h"

#include "core/RetryPacing.h"
#include "session/ClientSession.h"

#include <QObject>
#include <QString>

#include <initializer_list>

class AppContext;
class QLineEdit;
class QRadioButton;
class QTimer;
class TNetwork;

// The main window's sign-in screen: the name and password boxes, the sign-in button with its
// stepped sequence, the three options and their twins in the settings panel, what this
// computer remembers of its account, automatic sign-in and signing out. The server work of
// each step is a request of the client session.
class SignInView : public QObject
{
    Q_OBJECT

public:
    SignInView(TNetwork& window, MainControls::SignIn& controls, AppContext& ctx);

    // This computer's account record, as the sign-in and the account's upkeep keep it.
    const store::AccountRecord& accountRecord() const { return m_accountRecord; } // mem
    void setAccountRecord(const store::AccountRecord& record) { m_accountRecord = record; }
    // The account was deleted: nothing of it is signed in again automatically.
    void forgetAccount();
    // The network returned or the user signed out: an automatic sign-in may run again.
    void allowAutoSignInAgain() { m_autoSignInDone = false; }
    void setSignedOut(bool on) { m_signedOut = on; }
    // An automatic sign-in ran since the network last went away (AutologinDone).
    bool autoSignInDone() const { return m_autoSignInDone; }
    // 1 after Enter in the name box (the Tag of pass).
    int passTag() const { return m_passTag; }
    // What the name box holds, as the account's upkeep changes it.
    void setTypedName(const QString& name);
    // Enter in the name box moves on to the password.
    void markPasswordNext() { m_passTag = 1; }

    void onSignIn();                                  // Button2Click
    void onSignInCaptionTick();                       // Timer1Timer
    void onSignInSequenceTick();                      // Timer2Timer
    void onAutoSignInTick();                          // Timer4Timer
    void onNameEdited();                              // usernameChange
    void showSignedInView(const QString& avatarFile); // SystemShow
    void showSignInView();                            // RegShow
    void saveAccountRecord();                         // SaveACC
    void onAutoSignInOption();                        // c1Click
    void onForgetPasswordOption();                    // c2Click
    void onSharedComputerOption();                    // c3Click
    void onPanelForgetPasswordOption();               // m2Click
    void onPanelSharedComputerOption();               // m3Click
    void onSignOut();                                 // dscnClick
    void autoSignIn();                                // autologin
    // The sign-in part of the periodic reconnection while the window is hidden.
    void autoSignInFromRecord();
    bool passHoldsPassword() const;
    bool usernameHoldsName() const;
    // The placeholder texts of the name and password boxes leave as the user enters a box and
    // come back when it is left empty.
    void placeholderEnter(QLineEdit* box);
    void placeholderExit(QLineEdit* box);
    // The sign-in part of the window's show: focus and automatic sign-in.
    void FormShowSignIn();
    void onSignInRetryTick();

private:
    void setSignInCaption(int row, const QString& suffix = {});
    void onSignedIn(const SignInResult& result);
    void onAutoSignedIn(const AutoSignInResult& result);
    void onSignedOut(bool recordUploaded);
    void loadSavedAccount();
    void tightenSavedFiles();
    void signInStep3();
    void restartSequence(bool serverFault);
    // Restarts the sequence, or shows the screen again with the reason and waits the pause the
    // failure calls for.
    void retryAfter(retrypacing::Failure failure, const QString& text);
    void showSignInControls();
    void checkOption(QRadioButton* button);
    // Writes the option into the record and forgets the saved password.
    void chooseOption(const QString& option);
    void checkGuarded(std::initializer_list<QRadioButton*> guarded, QRadioButton* button);

    static constexpr int kTxtWrongPassword = 133;
    static constexpr int kTxtFillAllFields = 134;
    static constexpr int kTxtWaitingForNetwork = 135;
    static constexpr int kTxtServerNotAnswering = 136;
    static constexpr int kTxtTryingLater = 398;

    TNetwork& m_window;
    MainControls::SignIn& m_ui;
    AppContext& m_ctx;
    store::AccountRecord m_accountRecord;    // mem: this computer's account record
    QString m_savedPassword;                 // acc2: the saved password
    bool m_autoSignInDone = false;           // AutologinDone
    QTimer* m_signInCaptionTimer = nullptr;  // Timer1
    QTimer* m_signInSequenceTimer = nullptr; // Timer2
    QTimer* m_autoSignInTimer = nullptr;     // Timer4
    int m_sequenceStep = 0;                  // the Tag of Timer2
    int m_passTag = 0;                       // the Tag of pass: 1 after Enter in the name box
    QString m_typedPassword;                 // the Hint of pass
    int m_failedPasses = 0;                  // server failures in a row while the network is up
    // The user signed out since the main connection was last opened.
    bool m_signedOut = false;
    // The pause before a sign-in tries again after a failure that would only repeat at once;
    // no automatic sign-in starts while it runs.
    QTimer* m_signInRetryTimer = nullptr;

    bool m_signInRunning = false; // a sign-in pass waits for the session
    int m_signInCaptionRow = 0;   // the text row Button2 shows
    bool m_optionGuard = false;   // the Tags of the option buttons while code checks them
    retrypacing::Pacing m_pacing; // the failures of the passes since the last that got through
    QString m_shownFailure;       // the reason last shown, not shown again at each retry
};
