#include "app/hubsift_program.h"

#include <QGuiApplication>
#include <QScreen>

#include "about/about_dialog.h"
#include "app/main_window.h"
#include "platform/data_dir.h"
#include "platform/message_box.h"
#include "settings/settings_dialog.h"
#include "settings/settings_store.h"

HubsiftProgram::HubsiftProgram() = default;

HubsiftProgram::~HubsiftProgram() = default;

bool HubsiftProgram::Start() {
    const AppDataDirResult dataDir = PrepareAppDataDirFromEnvironment();
    if (!dataDir.path) {
        ShowMessage(dataDir.error);
        return false;
    }
    m_appDataDir = *dataDir.path;
    const std::string settingsFile = m_appDataDir + "/Hubsift.ini";

    m_form1 = std::make_unique<TForm1>(m_settings, m_pendingIPMessage, m_appDataDir);
    m_form2 = new TForm2(m_settings, m_pendingIPMessage, settingsFile, m_form1.get());
    m_form3 = new TForm3(m_form1.get());
    m_form1->SetDialogs(m_form2, m_form3);

    m_settings = LoadSettings(settingsFile);
    PlaceMainWindow();
    m_form2->ApplyStartupSettings();

    // The first layout, which comes with the first showing, runs the hub list step and shows a pending IP message.
    m_form1->SetStartupReady();
    m_form1->show();
    if (m_settings.Nick.empty()) m_form2->ShowFirstTime();
    return true;
}

void HubsiftProgram::PlaceMainWindow() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // Only the work area's size counts; its own origin is not added.
    const QRect area = screen->availableGeometry();
    m_form1->move((area.width() - m_form1->width()) / 2, (area.height() - m_form1->height()) / 2);
}
