#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "engine/net/port_mapper.h"
#include "engine/settings/app_settings.h"

class MainWindow;
class SettingsDialog;
class AboutDialog;

// The program put together: the process-wide settings, the data folder and the three windows.
// Lives on the GUI thread for the whole run; the windows it creates refer to its settings.
class HubsiftProgram {
public:
    // dataDir: the folder named on the command line, or nullopt for the per-user data folder. router: how to look
    // for the home router from start-up on, or nullopt for not at all.
    explicit HubsiftProgram(std::optional<std::string> dataDir = std::nullopt,
                            std::optional<PortMapperConfig> router = std::nullopt);
    ~HubsiftProgram();

    // The start-up sequence up to the message loop: data folder (and its stale temporary files), windows, settings,
    // placement, IP detection, the first-start rule. False when the program must end (its message has been shown).
    bool Start();

    MainWindow* GetMainWindow() const { return m_mainWindow.get(); }
    SettingsDialog* GetSettingsDialog() const { return m_settingsDialog; }
    AboutDialog* GetAboutDialog() const { return m_aboutDialog; }
    const AppSettings& Settings() const { return m_settings; }

private:
    void PlaceGetMainWindow();

    const std::optional<std::string> m_chosenDataDir;
    const std::optional<PortMapperConfig> m_router;
    // Files of ours last written before this are left over from earlier processes.
    const std::filesystem::file_time_type m_startedAt = std::filesystem::file_time_type::clock::now();
    AppSettings m_settings;
    std::string m_pendingIPMessage;
    std::string m_appDataDir;
    std::unique_ptr<MainWindow> m_mainWindow;
    SettingsDialog* m_settingsDialog = nullptr;  // owned by the main window
    AboutDialog* m_aboutDialog = nullptr;        // owned by the main window
};
