#pragma once

#include <memory>
#include <string>

#include "settings/app_settings.h"

class TForm1;
class TForm2;
class TForm3;

// The program put together: the process-wide settings, the data folder and the three windows.
// Lives on the GUI thread for the whole run; the windows it creates refer to its settings.
class HubsiftProgram {
public:
    HubsiftProgram();
    ~HubsiftProgram();

    // The start-up sequence up to the message loop: data folder, windows, settings, placement, IP detection,
    // the first-start rule. False when the program must end (its message has been shown).
    bool Start();

    TForm1* MainWindow() const { return m_form1.get(); }
    TForm2* SettingsDialog() const { return m_form2; }
    TForm3* AboutDialog() const { return m_form3; }
    const AppSettings& Settings() const { return m_settings; }

private:
    void PlaceMainWindow();

    AppSettings m_settings;
    std::string m_pendingIPMessage;
    std::string m_appDataDir;
    std::unique_ptr<TForm1> m_form1;
    TForm2* m_form2 = nullptr;  // owned by the main window
    TForm3* m_form3 = nullptr;  // owned by the main window
};
