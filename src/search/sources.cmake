# Files of this folder, relative to src/: engine (no Qt) and windows.
list(APPEND HUBSIFT_ENGINE_SOURCES
    search/hub_exchange.cpp
    search/hub_queue.cpp
    search/hub_worker.cpp
    search/nmdc_text.cpp
    search/run_counters.cpp
    search/search_criteria.cpp
    search/search_runner.cpp
    search/udp_port.cpp
)
list(APPEND HUBSIFT_GUI_SOURCES
)
