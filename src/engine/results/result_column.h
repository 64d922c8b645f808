#pragma once

// Column indices of the result list; the index stays with the column when the user drags it elsewhere.
enum ResultColumn : int {
    kFileNameColumn = 0,
    kSizeColumn = 1,
    kSlotsColumn = 2,
    kUserColumn = 3,
    kHubAddressColumn = 4,
    kPathColumn = 5,
    kTthColumn = 6,  // hidden until the user shows it
    kResultColumnCount = 7,
};
