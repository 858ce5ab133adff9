#pragma once

#include <memory>

class CaptureBackend;

// The platform's screen capture on macOS (CoreMediaIO and AVFoundation),
// built on Apple platforms only.
std::unique_ptr<CaptureBackend> createMacCaptureBackend();
