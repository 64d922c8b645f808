# Files of this folder, relative to src/: engine (no Qt) and windows.
list(APPEND HUBSIFT_ENGINE_SOURCES
    search/hub_queue.cpp
    search/nmdc_text.cpp
)
list(APPEND HUBSIFT_GUI_SOURCES
)
