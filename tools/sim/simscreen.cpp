#include "simscreen.h"

#include "labstate.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

SimElement el(
    const QString &type, const QString &id, const QString &text, int x, int y, int w, int h, QList<SimElement> children = {})
{
    SimElement e;
    e.type = type;
    e.id = id;
    e.text = text;
    e.x = x;
    e.y = y;
    e.width = w;
    e.height = h;
    e.children = std::move(children);
    return e;
}

SimElement link(SimElement e, const QString &target, const QString &event = QString())
{
    e.target = target;
    e.event = event;
    return e;
}

bool matches(const QString &pattern, const QString &value)
{
    if (value.isEmpty())
        return false;
    if (pattern == value)
        return true;
    const QRegularExpression re(QRegularExpression::anchoredPattern(pattern));
    return re.isValid() && re.match(value).hasMatch();
}

const SimElement *findIn(const SimElement &node, const SimSelector &selector)
{
    const QString &value = selector.kind == QLatin1String("id") ? node.id : node.text;
    if (matches(selector.value, value))
        return &node;
    for (const SimElement &child : node.children) {
        if (const SimElement *found = findIn(child, selector))
            return found;
    }
    return nullptr;
}

SimElement tabBar(const QString &selected)
{
    SimElement home = link(el(QStringLiteral("Button"), QStringLiteral("tabHome"), QStringLiteral("Beranda"), 0, 769, 131, 49),
        QStringLiteral("home"));
    SimElement cart
        = link(el(QStringLiteral("Button"), QStringLiteral("tabCart"), QStringLiteral("Keranjang"), 131, 769, 131, 49),
            QStringLiteral("cart"));
    SimElement profile = el(QStringLiteral("Button"), QStringLiteral("tabProfile"), QStringLiteral("Profil"), 262, 769, 131, 49);
    home.selected = selected == QLatin1String("home");
    cart.selected = selected == QLatin1String("cart");
    return el(QStringLiteral("TabBar"), QString(), QString(), 0, 769, 393, 83, { home, cart, profile });
}

} // namespace

QString SimSelector::describe() const
{
    return (kind == QLatin1String("id") ? QStringLiteral("Id matching regex: ") : QStringLiteral("Text matching regex: "))
        + value;
}

SimScreen::SimScreen(const SimDevice &device)
    : m_device(device)
    , m_app(device.foregroundApp)
    , m_screen(device.screen)
{
    if (m_app.isEmpty() || !device.app(m_app))
        m_app.clear();
    if (isShopApp() && m_screen.isEmpty())
        m_screen = QStringLiteral("login");
    m_loggedIn = isShopApp() && m_screen != QLatin1String("login");
}

bool SimScreen::isShopApp() const
{
    return m_app.startsWith(QLatin1String("com.lumenfold.pasar"));
}

SimElement SimScreen::tree() const
{
    return m_app.isEmpty() ? homeTree() : appTree();
}

SimElement SimScreen::homeTree() const
{
    SimElement grid = el(QStringLiteral("Other"), QString(), QString(), 0, 0, 393, 852);
    int slot = 0;
    for (const SimAppInfo &a : m_device.apps) {
        if (a.bundleId.startsWith(QLatin1String("com.facebook.")))
            continue;
        const int x = 27 + (slot % 4) * 90;
        const int y = 90 + (slot / 4) * 100;
        SimElement icon = el(QStringLiteral("Icon"), QString(), a.name, x, y, 64, 64);
        icon.target = QStringLiteral("launch:") + a.bundleId;
        grid.children.append(icon);
        ++slot;
    }
    SimElement window = el(QStringLiteral("Window"), QString(), QString(), 0, 0, 393, 852,
        { el(QStringLiteral("Other"), QString(), QString(), 0, 0, 393, 852, { grid }) });
    return el(QStringLiteral("Application"), QStringLiteral("com.apple.springboard"), QStringLiteral("SpringBoard"), 0, 0, 393,
        852, { window });
}

SimElement SimScreen::appTree() const
{
    const SimAppInfo *info = m_device.app(m_app);
    SimElement content;
    if (isShopApp()) {
        content = shopScreen();
    } else {
        content = el(QStringLiteral("Other"), QString(), QString(), 0, 0, 393, 852,
            { el(QStringLiteral("NavigationBar"), QString(), info->name, 0, 47, 393, 44,
                  { el(QStringLiteral("StaticText"), QString(), info->name, 120, 58, 153, 22) }),
                el(QStringLiteral("StaticText"), QStringLiteral("welcomeLabel"), QStringLiteral("Halo!"), 24, 140, 345, 30),
                el(QStringLiteral("Button"), QStringLiteral("menuButton"), QStringLiteral("Menu"), 24, 200, 345, 50) });
    }
    // The app's real content sits inside two unnamed containers, as UIKit nests it.
    SimElement window = el(QStringLiteral("Window"), QString(), QString(), 0, 0, 393, 852,
        { el(QStringLiteral("Other"), QString(), QString(), 0, 0, 393, 852, { content }) });
    return el(QStringLiteral("Application"), QString(), info->name, 0, 0, 393, 852, { window });
}

SimElement SimScreen::shopScreen() const
{
    const QString other = QStringLiteral("Other");
    if (m_screen == QLatin1String("login")) {
        SimElement email = el(QStringLiteral("TextField"), QStringLiteral("emailField"),
            m_email.isEmpty() ? QStringLiteral("Email") : m_email, 24, 320, 345, 48);
        email.focused = m_focusedField == QLatin1String("emailField");
        SimElement password = el(QStringLiteral("SecureTextField"), QStringLiteral("passwordField"),
            m_password.isEmpty() ? QStringLiteral("Password") : QString(m_password.size(), QChar(0x2022)), 24, 384, 345, 48);
        password.focused = m_focusedField == QLatin1String("passwordField");
        SimElement login
            = link(el(QStringLiteral("Button"), QStringLiteral("loginButton"), QStringLiteral("Masuk"), 24, 460, 345, 50),
                QStringLiteral("home"), QStringLiteral("tap:loginButton"));
        login.disabled = m_email.isEmpty() || m_password.isEmpty();
        return el(other, QString(), QString(), 0, 0, 393, 852,
            { el(QStringLiteral("Image"), QStringLiteral("logo"), QString(), 146, 120, 100, 100),
                el(QStringLiteral("StaticText"), QString(), QStringLiteral("Selamat datang"), 40, 250, 313, 34), email, password,
                login,
                el(QStringLiteral("Button"), QStringLiteral("forgotButton"), QStringLiteral("Lupa password?"), 120, 530, 153,
                    30) });
    }
    if (m_screen == QLatin1String("home")) {
        SimElement search = el(QStringLiteral("SearchField"), QStringLiteral("searchField"),
            m_search.isEmpty() ? QStringLiteral("Cari produk") : m_search, 16, 100, 361, 36);
        search.focused = m_focusedField == QLatin1String("searchField");
        return el(other, QString(), QString(), 0, 0, 393, 852,
            { el(QStringLiteral("NavigationBar"), QStringLiteral("homeNav"), QString(), 0, 47, 393, 44,
                  { el(QStringLiteral("StaticText"), QString(), QStringLiteral("Beranda"), 163, 58, 67, 22) }),
                el(other, QString(), QString(), 0, 91, 393, 678,
                    { search, el(QStringLiteral("StaticText"), QString(), QStringLiteral("Rekomendasi"), 16, 150, 200, 24),
                        el(QStringLiteral("CollectionView"), QStringLiteral("productList"), QString(), 0, 180, 393, 560,
                            { link(el(QStringLiteral("Cell"), QStringLiteral("product-A-1"), QStringLiteral("Kopi Gayo 250 g"),
                                       16, 190, 175, 220),
                                  QStringLiteral("product")),
                                link(el(QStringLiteral("Cell"), QStringLiteral("product-B-7"), QStringLiteral("Teh Melati"), 202,
                                         190, 175, 220),
                                    QStringLiteral("product")) }) }),
                tabBar(QStringLiteral("home")) });
    }
    if (m_screen == QLatin1String("product")) {
        QList<SimElement> items {
            el(QStringLiteral("NavigationBar"), QString(), QString(), 0, 47, 393, 44,
                { link(el(QStringLiteral("Button"), QStringLiteral("backButton"), QStringLiteral("Kembali"), 8, 52, 90, 34),
                    QStringLiteral("home")) }),
            el(QStringLiteral("Image"), QStringLiteral("productImage"), QString(), 0, 91, 393, 300),
            el(QStringLiteral("StaticText"), QStringLiteral("productName"), QStringLiteral("Kopi Gayo 250 g"), 16, 405, 361, 28),
            el(QStringLiteral("StaticText"), QStringLiteral("productPrice"), QStringLiteral("Rp 85.000"), 16, 440, 200, 24),
            el(QStringLiteral("StaticText"), QString(), QStringLiteral("Arabika & robusta, sangrai <medium>"), 16, 472, 361, 40),
            link(el(QStringLiteral("Button"), QStringLiteral("addToCartButton"), QStringLiteral("Tambah ke Keranjang"), 16, 690,
                     361, 50),
                QString(), QStringLiteral("tap:addToCartButton")),
        };
        if (!m_toast.isEmpty())
            items.append(el(QStringLiteral("StaticText"), QStringLiteral("toast"), m_toast, 60, 620, 273, 40));
        items.append(tabBar(QString()));
        return el(other, QString(), QString(), 0, 0, 393, 852, items);
    }
    if (m_screen == QLatin1String("cart")) {
        QList<SimElement> rows;
        if (m_cartCount > 0)
            rows.append(el(QStringLiteral("Cell"), QStringLiteral("cart-A-1"),
                QStringLiteral("Kopi Gayo 250 g \u00d7%1").arg(m_cartCount), 16, 110, 361, 72));
        else
            rows.append(el(QStringLiteral("StaticText"), QString(), QStringLiteral("Keranjang kosong"), 16, 110, 361, 30));
        SimElement checkout
            = link(el(QStringLiteral("Button"), QStringLiteral("checkoutButton"), QStringLiteral("Checkout"), 16, 700, 361, 50),
                QStringLiteral("checkout"));
        checkout.disabled = m_cartCount == 0;
        const QString total = QStringLiteral("Total Rp %1").arg(QLocale(QLocale::Indonesian).toString(85000 * m_cartCount));
        return el(other, QString(), QString(), 0, 0, 393, 852,
            { el(QStringLiteral("NavigationBar"), QString(), QString(), 0, 47, 393, 44,
                  { el(QStringLiteral("StaticText"), QString(), QStringLiteral("Keranjang"), 150, 58, 93, 22) }),
                el(QStringLiteral("Table"), QStringLiteral("cartTable"), QString(), 0, 91, 393, 560, rows),
                el(QStringLiteral("StaticText"), QStringLiteral("totalLabel"), total, 16, 660, 361, 28), checkout,
                tabBar(QStringLiteral("cart")) });
    }
    // checkout
    SimElement qris = el(QStringLiteral("Cell"), QStringLiteral("method-qris"), QStringLiteral("QRIS"), 16, 150, 361, 56);
    qris.selected = true;
    QList<SimElement> items {
        el(QStringLiteral("NavigationBar"), QString(), QString(), 0, 47, 393, 44,
            { link(el(QStringLiteral("Button"), QStringLiteral("backButton"), QStringLiteral("Kembali"), 8, 52, 90, 34),
                  QStringLiteral("cart")),
                el(QStringLiteral("StaticText"), QString(), QStringLiteral("Pembayaran"), 146, 58, 101, 22) }),
        qris,
        el(QStringLiteral("Cell"), QStringLiteral("method-va"), QStringLiteral("Virtual Account BCA"), 16, 210, 361, 56),
        link(el(QStringLiteral("Button"), QStringLiteral("payButton"), QStringLiteral("Bayar Sekarang"), 16, 700, 361, 50),
            QString(), QStringLiteral("tap:payButton")),
    };
    if (!m_toast.isEmpty())
        items.append(el(QStringLiteral("StaticText"), QStringLiteral("paymentStatus"), m_toast, 16, 640, 361, 40));
    return el(other, QString(), QString(), 0, 0, 393, 852, items);
}

void SimScreen::show(const QString &screen, QStringList *events)
{
    m_screen = screen;
    m_toast.clear();
    m_focusedField.clear();
    if (isShopApp())
        events->append(QStringLiteral("screen:") + screen);
}

bool SimScreen::launch(const QString &bundleId, bool clear, QStringList *events, QString *error)
{
    if (!m_device.app(bundleId)) {
        *error = QStringLiteral("App %1 is not installed on %2").arg(bundleId, m_device.name);
        return false;
    }
    if (clear)
        clearState(bundleId);
    m_app = bundleId;
    if (!isShopApp()) {
        m_screen = QStringLiteral("main");
        return true;
    }
    events->append(QStringLiteral("launch"));
    show(m_loggedIn ? QStringLiteral("home") : QStringLiteral("login"), events);
    return true;
}

void SimScreen::stopApp(const QString &bundleId)
{
    if (bundleId.isEmpty() || bundleId == m_app) {
        m_app.clear();
        m_screen.clear();
    }
}

void SimScreen::clearState(const QString &bundleId)
{
    if (!bundleId.startsWith(QLatin1String("com.lumenfold.pasar")))
        return;
    m_loggedIn = false;
    m_cartCount = 0;
    m_email.clear();
    m_password.clear();
    m_search.clear();
}

const SimElement *SimScreen::find(const SimSelector &selector, SimElement *copy) const
{
    const SimElement root = tree();
    const SimElement *found = findIn(root, selector);
    if (!found)
        return nullptr;
    *copy = *found;
    return copy;
}

bool SimScreen::isVisible(const SimSelector &selector) const
{
    SimElement copy;
    return find(selector, &copy) != nullptr;
}

void SimScreen::tap(const SimElement &element, QStringList *events)
{
    if (element.disabled)
        return;
    if (element.target.startsWith(QLatin1String("launch:"))) {
        QString ignored;
        launch(element.target.mid(7), false, events, &ignored);
        return;
    }
    if (element.type.endsWith(QLatin1String("TextField")) || element.type == QLatin1String("SearchField")) {
        m_focusedField = element.id;
        return;
    }
    if (!element.event.isEmpty() && isShopApp())
        events->append(element.event);
    if (element.id == QLatin1String("loginButton"))
        m_loggedIn = true;
    if (element.id == QLatin1String("addToCartButton")) {
        m_cartCount += 1;
        m_toast = QStringLiteral("Ditambahkan ke keranjang");
    }
    if (element.id == QLatin1String("payButton"))
        m_toast = QStringLiteral("Pembayaran ditolak: saldo tidak cukup");
    if (!element.target.isEmpty())
        show(element.target, events);
}

void SimScreen::inputText(const QString &text)
{
    if (m_focusedField == QLatin1String("emailField"))
        m_email += text;
    else if (m_focusedField == QLatin1String("passwordField"))
        m_password += text;
    else if (m_focusedField == QLatin1String("searchField"))
        m_search += text;
}

void SimScreen::eraseText()
{
    if (m_focusedField == QLatin1String("emailField"))
        m_email.clear();
    else if (m_focusedField == QLatin1String("passwordField"))
        m_password.clear();
    else if (m_focusedField == QLatin1String("searchField"))
        m_search.clear();
}

void SimScreen::back(QStringList *events)
{
    if (!isShopApp())
        return;
    if (m_screen == QLatin1String("product") || m_screen == QLatin1String("cart"))
        show(QStringLiteral("home"), events);
    else if (m_screen == QLatin1String("checkout"))
        show(QStringLiteral("cart"), events);
}
