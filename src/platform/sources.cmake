# Files of this folder, relative to src/: engine (no Qt) and windows.
list(APPEND HUBSIFT_ENGINE_SOURCES
    platform/ansi_codec.cpp
    platform/number_format.cpp
)
list(APPEND HUBSIFT_GUI_SOURCES
    platform/gui_text.cpp
    platform/message_box.cpp
    platform/qt_gui_thread.cpp
)
