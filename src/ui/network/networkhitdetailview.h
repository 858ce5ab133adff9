#pragma once

#include "network/networkhit.h"
#include "network/networkhitdisplay.h"

#include <QDialog>
#include <QPointer>

class NetworkTrafficModel;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

// The detail of one exchange: method and status badges, the URL, the
// request or the response with its headers and pretty-printed body, and a
// button that copies the shown side. It holds the exchange's id and looks
// the exchange up in the traffic model on open and whenever the rows change,
// so a live pull that answers a request shows here too; it closes when the
// exchange is gone. A large body is pretty-printed on a worker thread and
// shown in a plain text view. Main thread.
class NetworkHitDetailView final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkHitDetailView)

public:
    // Bodies above this size are formatted off the main thread.
    static constexpr qsizetype kBackgroundFormatSize = 64 * 1024;
    static constexpr int kCopiedMs = 1500;
    // A long body reaches the text view in pieces of about this many
    // characters, one per event-loop turn.
    static constexpr qsizetype kBodyPieceSize = 48 * 1024;

    NetworkHitDetailView(const NetworkTrafficModel *model, const QString &hitId, QWidget *parent = nullptr);

    QString hitId() const { return m_hitId; }
    NetworkHitDisplay::Side side() const { return m_side; }
    void setSide(NetworkHitDisplay::Side side);
    bool isCopied() const { return m_copied; }
    // The text of the shown side as the copy button puts it on the clipboard.
    QString shownContent() const;
    // True while a large body is still being formatted.
    bool isFormatting() const { return m_formatting; }

    void copyContent();

Q_SIGNALS:
    void bodyShown(); // the body view holds all of the formatted body of the shown side

private:
    void refresh();
    void showSide();
    void showBody(const QString &text);
    void appendBodyFrom(qsizetype from, quint64 generation);
    static qsizetype pieceEnd(const QString &text, qsizetype from);
    void setCopied(bool copied);
    void applyBadgeStyles();
    void changeEvent(QEvent *event) override;

    const QString &rawBody() const;
    const QString &rawHeaders() const;

    QPointer<const NetworkTrafficModel> m_model;
    QString m_hitId;
    NetworkHit m_hit;
    NetworkHitDisplay::Side m_side = NetworkHitDisplay::Side::Request;
    bool m_copied = false;
    bool m_formatting = false;
    quint64 m_generation = 0; // bumps when the exchange or the side changes
    QString m_prettyBody; // of the shown side, once formatted
    bool m_prettyReady = false;

    QWidget *m_header = nullptr;
    QLabel *m_methodBadge = nullptr;
    QLabel *m_statusBadge = nullptr;
    QLineEdit *m_url = nullptr;
    QButtonGroup *m_tabs = nullptr;
    QPushButton *m_requestTab = nullptr;
    QPushButton *m_responseTab = nullptr;
    QToolButton *m_copyButton = nullptr;
    QPlainTextEdit *m_headers = nullptr;
    QPlainTextEdit *m_body = nullptr;
    QTimer *m_copiedTimer = nullptr;
};
