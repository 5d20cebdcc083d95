#pragma once

#include "launcher/ServerLogin.h"

#include <QGroupBox>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;

// The connection frame (Frame3): the server, user and password boxes, "Connexion" and
// "Déconnexion", the transfer-type choice (Option1), the connection animation (Picture1 turned by
// Timer1) and, in the file manager, a row of the manager's own buttons ("Profils FTP...").
class ConnectionPane final : public QGroupBox {
    Q_OBJECT
public:
    ConnectionPane(const ServerLogin& initial, bool managerButtons, QWidget* parent);

    ServerLogin credentials() const; // as typed in Text4, Text2 and Text3
    void setCredentials(const ServerLogin& c);
    QString server() const;

    // The FTP transfer type of every get and put: 0 undefined (binary), 1 ASCII, 2 binary.
    int transferType() const { return m_transferType; }

    // "Déconnexion" in place of "Connexion" while connected.
    void showConnected(bool connected);

    // A connection attempt turns the animation from its first picture; a failed attempt, the
    // disconnect command and the end of the program stop it.
    void startAnimation();
    void stopAnimation();
    void showFirstPictureOnly();
    void setAnimationInterval(int milliseconds);

    // The keyboard's path through the frame, top to bottom.
    QList<QWidget*> tabChain() const;

signals:
    void connectClicked();    // Command1
    void disconnectClicked(); // Command3
    void profilesClicked();   // CommandProfils
    void fleetClicked();      // CommandParc

private:
    void animationTick();       // Timer1
    void transferTypeChanged(); // Option1

    QLineEdit* m_server = nullptr;   // Text4
    QLineEdit* m_user = nullptr;     // Text2
    QLineEdit* m_password = nullptr; // Text3
    QPushButton* m_connect = nullptr;
    QPushButton* m_disconnect = nullptr;
    QPushButton* m_profiles = nullptr;
    QPushButton* m_fleet = nullptr;
    std::array<QRadioButton*, 3> m_types{};
    std::array<QLabel*, 4> m_pictures{};
    QTimer* m_timer = nullptr;
    int m_transferType = 0;
    int m_animationStep = 0; // the picture shown last, 0 to 4
};
