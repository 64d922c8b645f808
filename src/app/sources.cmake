# Files of this folder, relative to src/: engine (no Qt) and windows. main.cpp belongs to the executable alone.
list(APPEND HUBSIFT_ENGINE_SOURCES
)
list(APPEND HUBSIFT_GUI_SOURCES
    app/hubsift_program.cpp
    app/main_window.cpp
)
