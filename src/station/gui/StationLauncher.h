#pragma once

#include "login/OperatorContext.h"
#include "platform/clock/SystemClock.h"

#include <QObject>
#include <QString>
#include <QVersionNumber>

#include <functional>
#include <memory>

class Dialogs;
class FPLASH;
class FPRINCIPAL;
class ProcessControl;

// The station mode of the program: the login splash, then the station window once the
// operator is in. A second station is refused before the splash shows.
class StationLauncher final : public QObject {
    Q_OBJECT

public:
    // `pdfDir` adds the PDF printer to the printer list when not empty. `endApplication` ends
    // the program with an exit code.
    StationLauncher(OperatorContext& context, Dialogs& dialogs, ProcessControl& processes, QString appDir,
                    QString pdfDir, QVersionNumber version, std::function<void(int)> endApplication,
                    QObject* parent = nullptr);
    ~StationLauncher() override;

    // Shows the splash. False when another station runs (told, and the program asked to end).
    bool start();

    FPLASH* splash() const { return m_splash.get(); }
    FPRINCIPAL* station() const { return m_station.get(); }

private:
    void openStation();

    OperatorContext& m_context;
    Dialogs& m_dialogs;
    std::function<void(int)> m_endApplication;
    SystemClock m_clock;
    std::unique_ptr<FPRINCIPAL> m_station;
    std::unique_ptr<FPLASH> m_splash;
};
