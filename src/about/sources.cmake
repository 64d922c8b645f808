# Files of this folder, relative to src/: engine (no Qt) and windows.
list(APPEND HUBSIFT_ENGINE_SOURCES
)
list(APPEND HUBSIFT_GUI_SOURCES
    about/about_dialog.cpp
)
