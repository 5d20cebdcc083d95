#include "StationLauncher.h"

#include "FPRINCIPAL.h"
#include "station/SingleInstance.h"
#include "login/gui/FPLASH.h"
#include "platform/print/SystemPrintDevice.h"

StationLauncher::StationLauncher(OperatorContext& context, Dialogs& dialogs, ProcessControl& processes, QString appDir,
                                 QString pdfDir, QVersionNumber version, std::function<void(int)> endApplication,
                                 QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_dialogs(dialogs)
    , m_endApplication(std::move(endApplication))
{
    m_station =
        std::make_unique<FPRINCIPAL>(context, dialogs, processes, m_clock, appDir, SystemPrintDevice::catalog(pdfDir),
                                     SingleInstance::lockFileIn(appDir), m_endApplication);
    m_splash = std::make_unique<FPLASH>(context, dialogs, appDir, version, [this] {
        if (m_endApplication)
            m_endApplication(0);
    });
    connect(m_splash.get(), &FPLASH::loggedIn, this, &StationLauncher::openStation);
}

StationLauncher::~StationLauncher() = default;

bool StationLauncher::start()
{
    if (!m_station->claimInstance())
        return false;
    m_splash->show();
    return true;
}

void StationLauncher::openStation()
{
    if (m_station->load())
        m_station->show();
}
