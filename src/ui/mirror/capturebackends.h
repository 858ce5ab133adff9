#pragma once

#include <memory>

class CaptureBackend;

namespace CaptureBackends {

// The simulated lab's capture when KESTRUNE_SIM_HOME names a lab (demo
// mode, the window's end-to-end test); on macOS otherwise the platform's
// own; elsewhere one that lists no devices.
std::unique_ptr<CaptureBackend> create();

} // namespace CaptureBackends
