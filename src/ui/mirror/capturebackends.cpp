#include "capturebackends.h"

#include "labcapturebackend.h"

#ifdef Q_OS_MACOS
#include "maccapturebackend.h"
#endif

std::unique_ptr<CaptureBackend> CaptureBackends::create()
{
    const QString lab = qEnvironmentVariable("KESTRUNE_SIM_HOME");
    if (!lab.isEmpty())
        return std::make_unique<LabCaptureBackend>(lab);
#ifdef Q_OS_MACOS
    return createMacCaptureBackend();
#else
    return std::make_unique<LabCaptureBackend>(QString());
#endif
}
