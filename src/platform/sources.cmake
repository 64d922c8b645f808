# Files of this folder, relative to src/: engine (no Qt) and windows.
list(APPEND HUBSIFT_ENGINE_SOURCES
    platform/ansi_codec.cpp
    platform/bzip2_stream.cpp
    platform/http_client.cpp
    platform/xml_scanner.cpp
    platform/number_format.cpp
    platform/auto_reset_event.cpp
    platform/tcp_client.cpp
    platform/udp_listener.cpp
    platform/data_dir.cpp
    platform/local_addresses.cpp
)
list(APPEND HUBSIFT_GUI_SOURCES
    platform/design_layout.cpp
    platform/gui_text.cpp
    platform/hint_style.cpp
    platform/progress_state.cpp
    platform/message_box.cpp
    platform/qt_gui_thread.cpp
    platform/shell.cpp
    platform/window_placement.cpp
)
