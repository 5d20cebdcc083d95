#pragma once

#include <QString>

class QAbstractSocket;
class QSslSocket;

// Why a socket failed, in the operator's words (French).
QString describeSocketError(const QAbstractSocket& socket);
// Why a TLS handshake with `host` failed: each distinct reason once.
QString describeTlsFailure(const QSslSocket& socket, const QString& host);
