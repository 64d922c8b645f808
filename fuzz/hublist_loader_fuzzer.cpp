#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/hublist/hublist_loader.h"
#include "engine/search/hub_queue.h"

// Hub lists come from the network: any bytes must load or fail, never crash, hang or leak.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    HubQueue queue;
    LoadHubListText(std::string(reinterpret_cast<const char*>(data), size), queue);
    while (queue.NextHub() != nullptr) {
    }
    return 0;
}
