// Screen capture of iPhones attached by cable, on macOS. Built with ARC.
//
// The picture arrives as frames from a video data output (32-bit BGRA,
// scaled down by AVFoundation) that the panel paints inside its phone
// frame, rather than as a preview layer in an embedded native view: a
// native child view cannot be clipped to the frame's rounded screen or
// drawn over by Qt, and the other backends deliver frames the same way.

#include "maccapturebackend.h"

#include "mirror/capturebackend.h"
#include "mirror/capturesession.h"

#include <QImage>
#include <QMetaObject>
#include <QMutex>

#import <AVFoundation/AVFoundation.h>
#import <CoreMediaIO/CMIOHardware.h>
#import <CoreVideo/CoreVideo.h>

#include <atomic>

class MacCaptureSession;
class MacCaptureBackend;

// Receives the frames on the output's serial queue.
@interface KestruneFrameReceiver : NSObject <AVCaptureVideoDataOutputSampleBufferDelegate>
@property (nonatomic, assign) MacCaptureSession *session;
@end

// Observes the discovery session's `devices` (any thread).
@interface KestruneDeviceObserver : NSObject
@property (nonatomic, assign) MacCaptureBackend *backend;
@end

namespace {

AVCaptureDeviceType externalDeviceType()
{
#if defined(__MAC_14_0) && __MAC_OS_X_VERSION_MAX_ALLOWED >= __MAC_14_0
    if (@available(macOS 14.0, *))
        return AVCaptureDeviceTypeExternal;
#endif
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
    return AVCaptureDeviceTypeExternalUnknown;
#pragma clang diagnostic pop
}

AVCaptureDeviceDiscoverySession *discovery(AVMediaType mediaType)
{
    return [AVCaptureDeviceDiscoverySession discoverySessionWithDeviceTypes:@[ externalDeviceType() ]
                                                                  mediaType:mediaType
                                                                   position:AVCaptureDevicePositionUnspecified];
}

CaptureDeviceList listOf(NSArray<AVCaptureDevice *> *devices)
{
    CaptureDeviceList out;
    for (AVCaptureDevice *device in devices)
        out.append({ QString::fromNSString(device.uniqueID), QString::fromNSString(device.localizedName) });
    return out;
}

} // namespace

class MacCaptureSession final : public CaptureSession
{
public:
    MacCaptureSession(QString uniqueID, AVCaptureSession *session, AVCaptureVideoDataOutput *output)
        : m_uniqueID(std::move(uniqueID))
        , m_session(session)
        , m_output(output)
        , m_receiver([[KestruneFrameReceiver alloc] init])
        , m_queue(dispatch_queue_create("io.kestrune.Kestrune.mirror.frames", DISPATCH_QUEUE_SERIAL))
    {
        m_receiver.session = this;
        [m_output setSampleBufferDelegate:m_receiver queue:m_queue];
    }

    ~MacCaptureSession() override
    {
        stopRunning();
        [m_output setSampleBufferDelegate:nil queue:nil];
        // No frame callback is left running on the queue after this.
        dispatch_sync(m_queue, ^ {});
        m_receiver.session = nullptr;
    }

    QString deviceUniqueID() const override { return m_uniqueID; }
    void startRunning() override
    {
        [m_session startRunning];
        m_running = true;
    }
    void stopRunning() override
    {
        m_running = false;
        [m_session stopRunning];
    }
    bool isRunning() const override { return m_running; }
    QVariant picture() const override
    {
        QMutexLocker lock(&m_mutex);
        return m_latest.isNull() ? QVariant() : QVariant(m_latest);
    }

    // The output's queue: keeps the newest frame and tells the main thread
    // once per batch of frames it has not looked at yet.
    void receive(CVPixelBufferRef buffer)
    {
        if (!buffer || CVPixelBufferLockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly) != kCVReturnSuccess)
            return;
        const QImage frame = QImage(static_cast<const uchar *>(CVPixelBufferGetBaseAddress(buffer)),
            int(CVPixelBufferGetWidth(buffer)), int(CVPixelBufferGetHeight(buffer)), int(CVPixelBufferGetBytesPerRow(buffer)),
            QImage::Format_ARGB32_Premultiplied)
                                 .copy();
        CVPixelBufferUnlockBaseAddress(buffer, kCVPixelBufferLock_ReadOnly);
        {
            QMutexLocker lock(&m_mutex);
            m_latest = frame;
        }
        if (!m_notified.exchange(true)) {
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_notified = false;
                    Q_EMIT pictureChanged();
                },
                Qt::QueuedConnection);
        }
    }

private:
    const QString m_uniqueID;
    AVCaptureSession *m_session;
    AVCaptureVideoDataOutput *m_output;
    KestruneFrameReceiver *m_receiver;
    dispatch_queue_t m_queue;
    std::atomic<bool> m_running { false };
    std::atomic<bool> m_notified { false };
    mutable QMutex m_mutex;
    QImage m_latest;
};

@implementation KestruneFrameReceiver
- (void)captureOutput:(AVCaptureOutput *)output
    didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer
           fromConnection:(AVCaptureConnection *)connection
{
    (void)output;
    (void)connection;
    if (MacCaptureSession *session = self.session)
        session->receive(CMSampleBufferGetImageBuffer(sampleBuffer));
}
@end

class MacCaptureBackend final : public CaptureBackend
{
public:
    MacCaptureBackend() = default;
    ~MacCaptureBackend() override
    {
        if (m_observed)
            [m_observed removeObserver:m_observer forKeyPath:@"devices"];
        m_observer.backend = nullptr;
    }

    int enableScreenCaptureDevices() override
    {
        // kCMIOHardwarePropertyAllowScreenCaptureDevices on the system
        // object, global scope, element 0 (the main element).
        CMIOObjectPropertyAddress address
            = { kCMIOHardwarePropertyAllowScreenCaptureDevices, kCMIOObjectPropertyScopeGlobal, 0 };
        UInt32 allow = 1;
        return int(CMIOObjectSetPropertyData(kCMIOObjectSystemObject, &address, 0, nullptr, sizeof(allow), &allow));
    }

    CaptureDeviceList devices(MediaType type) const override
    {
        return listOf(discovery(type == MediaType::Muxed ? AVMediaTypeMuxed : AVMediaTypeVideo).devices);
    }

    void startObserving() override
    {
        m_observed = discovery(AVMediaTypeMuxed);
        m_observer = [[KestruneDeviceObserver alloc] init];
        m_observer.backend = this;
        // The initial option delivers the current list at once, then every
        // new list; each goes to the main thread.
        [m_observed addObserver:m_observer
                     forKeyPath:@"devices"
                        options:NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionNew
                        context:nullptr];
    }

    void announce(const CaptureDeviceList &devices)
    {
        QMetaObject::invokeMethod(
            this, [this, devices] { Q_EMIT observedDevicesChanged(devices); }, Qt::QueuedConnection);
    }

    Authorization authorizationStatus() const override
    {
        switch ([AVCaptureDevice authorizationStatusForMediaType:AVMediaTypeVideo]) {
        case AVAuthorizationStatusNotDetermined:
            return Authorization::NotDetermined;
        case AVAuthorizationStatusRestricted:
            return Authorization::Restricted;
        case AVAuthorizationStatusDenied:
            return Authorization::Denied;
        case AVAuthorizationStatusAuthorized:
            return Authorization::Authorized;
        }
        return Authorization::Denied;
    }

    void requestAccess(std::function<void(bool)> completion) override
    {
        auto shared = std::make_shared<std::function<void(bool)>>(std::move(completion));
        [AVCaptureDevice requestAccessForMediaType:AVMediaTypeVideo
                                 completionHandler:^(BOOL granted) {
                                   (*shared)(granted == YES);
                                 }];
    }

    std::shared_ptr<CaptureSession> createSession(const CaptureDeviceInfo &info, QString *error) override
    {
        AVCaptureDevice *device = [AVCaptureDevice deviceWithUniqueID:info.uniqueID.toNSString()];
        if (!device) {
            *error = QStringLiteral("The device is no longer connected.");
            return nullptr;
        }
        NSError *inputError = nil;
        AVCaptureDeviceInput *input = [AVCaptureDeviceInput deviceInputWithDevice:device error:&inputError];
        if (!input) {
            *error = inputError ? QString::fromNSString(inputError.localizedDescription) : QStringLiteral("unknown error");
            return nullptr;
        }
        AVCaptureSession *session = [[AVCaptureSession alloc] init];
        session.sessionPreset = AVCaptureSessionPresetHigh;
        if ([session canAddInput:input])
            [session addInput:input];
        AVCaptureVideoDataOutput *output = [[AVCaptureVideoDataOutput alloc] init];
        // Frames at most 720 pixels tall, the screen's aspect kept: enough
        // for the panel, and a small copy per frame.
        output.videoSettings = @{
            (__bridge NSString *)kCVPixelBufferPixelFormatTypeKey : @(kCVPixelFormatType_32BGRA),
            (__bridge NSString *)kCVPixelBufferWidthKey : @(332),
            (__bridge NSString *)kCVPixelBufferHeightKey : @(720),
            AVVideoScalingModeKey : AVVideoScalingModeResizeAspect,
        };
        output.alwaysDiscardsLateVideoFrames = YES;
        if ([session canAddOutput:output])
            [session addOutput:output];
        return std::make_shared<MacCaptureSession>(info.uniqueID, session, output);
    }

private:
    AVCaptureDeviceDiscoverySession *m_observed = nil;
    KestruneDeviceObserver *m_observer = nil;
};

@implementation KestruneDeviceObserver
- (void)observeValueForKeyPath:(NSString *)keyPath
                      ofObject:(id)object
                        change:(NSDictionary<NSKeyValueChangeKey, id> *)change
                       context:(void *)context
{
    (void)keyPath;
    (void)change;
    (void)context;
    if (MacCaptureBackend *backend = self.backend)
        backend->announce(listOf(static_cast<AVCaptureDeviceDiscoverySession *>(object).devices));
}
@end

std::unique_ptr<CaptureBackend> createMacCaptureBackend()
{
    return std::make_unique<MacCaptureBackend>();
}
