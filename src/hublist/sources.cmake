# Files of this folder, relative to src/: engine (no Qt) and windows.
list(APPEND HUBSIFT_ENGINE_SOURCES
    hublist/hublist_loader.cpp
    hublist/hublist_refresh_thread.cpp
)
list(APPEND HUBSIFT_GUI_SOURCES
)
