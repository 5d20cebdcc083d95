#pragma once

#include <QString>

// The server and account a run logs in with, as the connection frame or the configuration gives them.
struct ServerLogin {
    QString server;
    QString user;
    QString password;
};
