#pragma once

#include <string>

// The system's words for an errno value, safe to call from any thread (strerror is not).
std::string SystemErrorText(int error);
