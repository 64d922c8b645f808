#include "ui/app/hubsift_program.h"

#include <QGuiApplication>
#include <QScreen>

#include <utility>

#include "engine/hublist/hublist_refresh_thread.h"
#include "engine/settings/settings_store.h"
#include "engine/sys/data_dir.h"
#include "ui/app/main_window.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/settings_dialog.h"
#include "ui/support/message_box.h"

HubsiftProgram::HubsiftProgram(std::optional<std::string> dataDir, std::optional<PortMapperConfig> router)
    : m_chosenDataDir(std::move(dataDir)), m_router(std::move(router)) {}

HubsiftProgram::~HubsiftProgram() = default;

bool HubsiftProgram::Start() {
    const AppDataDirResult dataDir =
        m_chosenDataDir ? PrepareChosenDataDir(*m_chosenDataDir) : PrepareAppDataDirFromEnvironment();
    if (!dataDir.path) {
        ShowMessage(dataDir.error);
        return false;
    }
    m_appDataDir = *dataDir.path;
    HublistRefreshThread::RemoveStaleTemporaryFiles(m_appDataDir, m_startedAt);
    const std::string settingsFile = m_appDataDir + "/Hubsift.ini";

    m_mainWindow = std::make_unique<MainWindow>(m_settings, m_pendingIPMessage, m_appDataDir);
    // The router is looked for in the background while the window opens; the first run finds it ready.
    if (m_router) m_mainWindow->Session().UseRouter(std::make_unique<PortMapper>(*m_router));
    m_settingsDialog = new SettingsDialog(m_settings, m_pendingIPMessage, settingsFile, m_mainWindow.get());
    m_aboutDialog = new AboutDialog(m_mainWindow.get());
    m_mainWindow->SetDialogs(m_settingsDialog, m_aboutDialog);

    m_settings = LoadSettings(settingsFile);
    PlaceGetMainWindow();
    m_settingsDialog->ApplyStartupSettings();

    // The first layout, which comes with the first showing, runs the hub list step and shows a pending IP message.
    m_mainWindow->SetStartupReady();
    m_mainWindow->show();
    if (m_settings.Nick.empty()) m_settingsDialog->ShowFirstTime();
    return true;
}

void HubsiftProgram::PlaceGetMainWindow() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // Only the work area's size counts; its own origin is not added.
    const QRect area = screen->availableGeometry();
    m_mainWindow->move((area.width() - m_mainWindow->width()) / 2, (area.height() - m_mainWindow->height()) / 2);
}
