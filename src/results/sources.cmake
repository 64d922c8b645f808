# Files of this folder, relative to src/: engine (no Qt) and windows.
list(APPEND HUBSIFT_ENGINE_SOURCES
    results/result_compare.cpp
    results/result_store.cpp
    results/size_format.cpp
    results/sr_decoder.cpp
)
list(APPEND HUBSIFT_GUI_SOURCES
    results/icon_cache.cpp
    results/result_list_view.cpp
    results/result_model.cpp
)
