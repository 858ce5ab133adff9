#pragma once

#include <QObject>
#include <QVariant>

// A running (or startable) capture of one external device. Created by a
// CaptureBackend on the main thread and owned through a shared pointer by
// the mirror controller. startRunning() blocks until the capture runs and is
// called on a pool worker; everything else is called on the main thread.
// The pictures are platform images: picture() holds the latest one in a
// QVariant (a QImage for the widgets layer), so the core stays free of GUI
// types; pictureChanged() is emitted on the main thread for each new one.
// A session stops itself when it is destroyed.
class CaptureSession : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CaptureSession)

public:
    explicit CaptureSession(QObject *parent = nullptr)
        : QObject(parent)
    { }

    // The uniqueID of the captured device.
    virtual QString deviceUniqueID() const = 0;

    // Blocks until the capture runs (pool worker).
    virtual void startRunning() = 0;
    virtual void stopRunning() = 0;
    virtual bool isRunning() const = 0;

    // The latest picture, or an invalid QVariant before the first one.
    virtual QVariant picture() const { return {}; }

Q_SIGNALS:
    void pictureChanged();
};
