#pragma once

#include "login/OperatorContext.h"
#include "login/UserLogin.h"

#include <QVersionNumber>
#include <QWidget>

#include <functional>

class Dialogs;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// The login splash ("NOVAL"): presents the flow-management application on a short timer
// sequence, then checks the operator against the database, or lets the service code in.
// Hidden, not closed, once the operator is in; loggedIn() then tells the caller.
class FPLASH final : public QWidget {
    Q_OBJECT

public:
    // `endApplication` is called by CNON and must end the program at once.
    FPLASH(OperatorContext& context, Dialogs& dialogs, const QString& appDir, const QVersionNumber& version,
           std::function<void()> endApplication, QWidget* parent = nullptr);

    static QString serviceCode() { return QStringLiteral("Q7MAZ"); }

signals:
    void loggedIn();

private:
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer() {}
    void TLOGIN_Enter();
    void TPW_Enter();
    void COK_Click();
    void CNON_Click();
    void grantServiceCode();

    OperatorContext& m_context;
    Dialogs& m_dialogs;
    UserLogin m_login;
    std::function<void()> m_endApplication;

    QLabel* LTITRE = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* LINFO = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* TLOGIN = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* TPW = nullptr;
    QPushButton* COK = nullptr;
    QPushButton* CNON = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Image4 = nullptr;
    QFrame* Line1 = nullptr;
};
