# Files of this folder, relative to src/: engine (no Qt) and windows.
list(APPEND HUBSIFT_ENGINE_SOURCES
    settings/ini_file.cpp
    settings/ip_detection.cpp
    settings/settings_store.cpp
)
list(APPEND HUBSIFT_GUI_SOURCES
    settings/settings_dialog.cpp
)
