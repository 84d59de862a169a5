#include "UI/StatusItemController.h"

#include "Core/PrivacyGuard.h"
#include "Platform/ScreenGrabber.h"
#include "Shared/Log.h"
#include "UI/Kit/MenuStyle.h"
#include "UI/PrivacySwitch.h"

#include <QCursor>
#include <QImage>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <algorithm>
#include <chrono>
#include <map>

namespace velquist {

namespace {

// The same icon faded into the tray: a disabled variant of a white image would stay white.
QIcon dimmed(const QIcon& icon)
{
    QIcon result;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setOpacity(StatusItemController::kDimmedOpacity);
        painter.drawPixmap(0, 0, icon.pixmap(QSize(side, side)));
        painter.end();
        result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

// The colour most of the image's outer ring shows.
std::optional<QColor> ringColour(const QImage& image)
{
    if (image.width() < 4 || image.height() < 4)
        return std::nullopt;
    std::map<QRgb, int> counts;
    for (int x = 0; x < image.width(); ++x) {
        ++counts[image.pixel(x, 0) | 0xff000000u];
        ++counts[image.pixel(x, image.height() - 1) | 0xff000000u];
    }
    for (int y = 1; y + 1 < image.height(); ++y) {
        ++counts[image.pixel(0, y) | 0xff000000u];
        ++counts[image.pixel(image.width() - 1, y) | 0xff000000u];
    }
    const auto most = std::ranges::max_element(counts, {}, [](const auto& entry) { return entry.second; });
    return QColor::fromRgb(most->first);
}

} // namespace

StatusItemController::StatusItemController(Services services, Scheduler& scheduler,
                                           const ScreenGrabber& screen, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_screen(screen),
      m_tray(std::make_unique<QSystemTrayIcon>())
{
    buildMenu();
    refreshIcon();
    m_tray->setToolTip(QStringLiteral("Velquist"));
    m_tray->setContextMenu(&m_menu);
    // A status item opens its menu on the first button too, not only on the context button.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    m_menu.popup(QCursor::pos());
            });
    m_hasTray =
        m_services.trayAvailable ? m_services.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
    // Shown even without a host: a tray that starts later still picks the icon up.
    m_tray->show();
    // The tray paints its background around the icon only once it has embedded it.
    using std::chrono::milliseconds;
    for (const milliseconds delay : {milliseconds(250), milliseconds(1000), milliseconds(3000)})
        m_trayLooks.emplace_back(scheduler, scheduler.schedule(delay, [this] { refreshTrayColours(); }));
    if (!m_hasTray)
        Log::system("Velquist: no system tray is available; start velquist again to open its settings, "
                    "whose menu bar holds the status menu.");
}

StatusItemController::~StatusItemController() = default;

QString StatusItemController::versionLine(const QString& version)
{
    return QStringLiteral("Velquist ") + (version.isEmpty() ? QStringLiteral("dev") : version);
}

void StatusItemController::buildMenu()
{
    m_menu.setTitle(QStringLiteral("Velquist"));
    MenuStyle::apply(m_menu);
    m_menu.addAction(versionLine(m_services.version))->setEnabled(false);
    // No updater exists for this system; the item stays visible and disabled.
    m_menu.addAction(QStringLiteral("Check for Updates…"))->setEnabled(false);
    m_menu.addSeparator();
    m_menu.addAction(QStringLiteral("Install Claude Code Hooks…"), this, &StatusItemController::installHooks);
    m_menu.addAction(QStringLiteral("Grant Accessibility Access…"), this,
                     &StatusItemController::requestAccessibility);
    m_menu.addAction(QStringLiteral("Replay Intro"), this, &StatusItemController::replayIntro);
    m_menu.addSeparator();
    m_privacyItem =
        m_menu.addAction(QStringLiteral("Privacy Mode"), this, &StatusItemController::togglePrivacy);
    m_privacyItem->setCheckable(true);
    m_menu.addSeparator();
    QAction* settings =
        m_menu.addAction(QStringLiteral("Settings…"), this, &StatusItemController::openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QAction* quit = m_menu.addAction(QStringLiteral("Quit Velquist"), this, [this] {
        if (m_services.quit)
            m_services.quit();
    });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

int StatusItemController::runAlert(QMessageBox& alert)
{
    alert.setWindowTitle(QStringLiteral("Velquist"));
    alert.setTextFormat(Qt::PlainText);
    // The application has no window of its own in front, so the alert would open behind whatever
    // the user was looking at: keep it above and ask for the focus once it is on screen.
    alert.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QMetaObject::invokeMethod(
        &alert,
        [&alert] {
            alert.raise();
            alert.activateWindow();
        },
        Qt::QueuedConnection);
    Q_EMIT alertShown(&alert);
    return alert.exec();
}

void StatusItemController::installHooks()
{
    if (!m_services.claudeTarget)
        return;
    const HookInstallTarget target = m_services.claudeTarget();
    QMessageBox alert;
    if (HookInstaller::hooksInstalled(target)) {
        alert.setText(QStringLiteral("Hooks already installed"));
        alert.setInformativeText(QStringLiteral("Claude Code is already reporting sessions to Velquist. New "
                                                "sessions appear in the notch automatically."));
        alert.setStandardButtons(QMessageBox::Ok);
        runAlert(alert);
        return;
    }
    alert.setText(QStringLiteral("Install Claude Code hooks?"));
    alert.setInformativeText(QStringLiteral(
        "Velquist adds observation hooks to ~/.claude/settings.json so sessions appear in the notch. A "
        "backup "
        "is saved as settings.json.velquist.bak. Existing settings are preserved. Applies to newly started "
        "sessions."));
    QPushButton* install = alert.addButton(QStringLiteral("Install"), QMessageBox::AcceptRole);
    alert.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    alert.setDefaultButton(install);
    runAlert(alert);
    if (alert.clickedButton() != install)
        return;
    const ConfigChange change = HookInstaller::installHooks(target);
    if (change.ok())
        return;
    QMessageBox failure(QMessageBox::Warning, QStringLiteral("Velquist"),
                        QString::fromStdString(change.error), QMessageBox::Ok);
    runAlert(failure);
}

void StatusItemController::requestAccessibility()
{
    QMessageBox alert;
    alert.setStandardButtons(QMessageBox::Ok);
    if (m_services.windowAccess && m_services.windowAccess()) {
        alert.setText(QStringLiteral("Accessibility already granted"));
        alert.setInformativeText(QStringLiteral("Velquist can jump to the exact terminal window. Approvals "
                                                "and answers do not need this permission."));
    } else {
        // No desktop here has a permission to ask for: window access is there or it is not, so the
        // user is told instead of being shown a prompt.
        alert.setText(QStringLiteral("Window access is not available"));
        alert.setInformativeText(QStringLiteral(
            "This desktop does not let Velquist see or raise other windows, so it cannot jump to the exact "
            "terminal window. Approvals and answers do not need this."));
    }
    runAlert(alert);
}

void StatusItemController::replayIntro()
{
    if (m_services.replayIntro)
        m_services.replayIntro();
}

void StatusItemController::togglePrivacy()
{
    if (!m_services.privacy)
        return;
    switchPrivacy(*m_services.privacy, !m_services.privacy->isActive(), m_services.coordinator);
    refreshPrivacyItem();
}

void StatusItemController::refreshPrivacyItem()
{
    if (!m_services.privacy)
        return;
    const bool active = m_services.privacy->isActive();
    m_privacyItem->setChecked(active);
    m_privacyItem->setText(m_services.privacy->reason() == PrivacyGuard::Reason::mirroring
                               ? QStringLiteral("Privacy Mode (screen is mirrored)")
                               : QStringLiteral("Privacy Mode"));
    if (active != m_privacyDimmed) {
        m_privacyDimmed = active;
        refreshIcon();
    }
}

bool StatusItemController::isLightTray(const QColor& background)
{
    return background.lightnessF() > 0.6;
}

void StatusItemController::refreshTrayColours()
{
    const auto background = sampleTrayBackground();
    if (!background)
        return;
    const bool light = isLightTray(*background);
    if (light == m_lightTray)
        return;
    m_lightTray = light;
    refreshIcon();
}

void StatusItemController::stopTrayLooks()
{
    m_trayLooks.clear();
}

void StatusItemController::refreshIcon()
{
    const QIcon& base =
        m_lightTray && !m_services.lightTrayIcon.isNull() ? m_services.lightTrayIcon : m_services.icon;
    m_tray->setIcon(m_privacyDimmed ? dimmed(base) : base);
}

std::optional<QColor> StatusItemController::sampleTrayBackground() const
{
    // The icon's own edge: the tray paints its background there around a mark drawn smaller than
    // the place it was given. Just outside it may already be the desktop, or beyond the screen.
    return ringColour(m_screen.grab(m_tray->geometry()));
}

void StatusItemController::openSettings()
{
    if (m_services.openSettings)
        m_services.openSettings();
}

void StatusItemController::attachMenu(QWidget& window)
{
    if (m_hasTray || window.findChild<QMenuBar*>(QStringLiteral("statusMenuBar")))
        return;
    if (auto* main = qobject_cast<QMainWindow*>(&window)) {
        main->menuBar()->setObjectName(QStringLiteral("statusMenuBar"));
        MenuStyle::apply(*main->menuBar());
        main->menuBar()->addMenu(&m_menu);
    } else if (QLayout* layout = window.layout()) {
        auto* bar = new QMenuBar(&window);
        bar->setObjectName(QStringLiteral("statusMenuBar"));
        MenuStyle::apply(*bar);
        bar->addMenu(&m_menu);
        layout->setMenuBar(bar);
    }
}

} // namespace velquist
