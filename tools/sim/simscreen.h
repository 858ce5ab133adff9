#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct SimDevice;
struct SimAppInfo;

// One element of the simulated screen, as the runner's element tree shows it.
struct SimElement
{
    QString type;
    QString id;
    QString text;
    int x = 0, y = 0, width = 0, height = 0;
    bool disabled = false;
    bool selected = false;
    bool focused = false;
    QString target; // screen shown after a tap
    QString event; // app event fired by a tap ("tap:<id>")
    QList<SimElement> children;
};

// How a flow command names an element: by text or by id, each matched as a
// whole-text regular expression (or literally), as the runner does.
struct SimSelector
{
    QString kind; // "text" or "id"
    QString value;
    QString describe() const; // "Text matching regex: Masuk", "Id matching regex: loginButton"
};

// What a device shows: the foreground app, its current screen and the few
// bits of app state that change what is on it (login, cart, typed text,
// transient messages). Screens of the lab's shop app are modelled in full;
// other apps show a plain screen, no app the home screen. Owned by the flow
// executor or the hierarchy role; one thread.
class SimScreen final
{
public:
    explicit SimScreen(const SimDevice &device);

    QString foregroundApp() const { return m_app; }
    QString screen() const { return m_screen; }

    // The whole tree of what is shown now, rooted at an Application element.
    SimElement tree() const;

    // The app events each action fires, in order ("launch", "screen:home", ...).
    bool launch(const QString &bundleId, bool clearState, QStringList *events, QString *error);
    void stopApp(const QString &bundleId);
    void clearState(const QString &bundleId);
    const SimElement *find(const SimSelector &selector, SimElement *copy) const;
    void tap(const SimElement &element, QStringList *events);
    void inputText(const QString &text);
    void eraseText();
    void back(QStringList *events);
    bool isVisible(const SimSelector &selector) const;

private:
    SimElement appTree() const;
    SimElement homeTree() const;
    SimElement shopScreen() const;
    void show(const QString &screen, QStringList *events);
    bool isShopApp() const;

    const SimDevice &m_device;
    QString m_app;
    QString m_screen;
    bool m_loggedIn = false;
    int m_cartCount = 0;
    QString m_focusedField;
    QString m_email;
    QString m_password;
    QString m_search;
    QString m_toast;
};
