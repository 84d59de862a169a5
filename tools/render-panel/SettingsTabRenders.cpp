// The settings window's Sounds, Filters, Privacy and Usage tabs and the status menu, each in the states a
// user meets first and the ones that show the most.

#include "RenderRegistry.h"

#include "Characters/VelquistMark.h"
#include "Core/PrivacyGuard.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Core/SystemClock.h"
#include "Platform/DisplayMirroring.h"
#include "Platform/ScreenGrabber.h"
#include "Platform/SoundOutput.h"
#include "Platform/UserDefaults.h"
#include "Settings/FilterSettingsTab.h"
#include "Settings/PrivacySettingsTab.h"
#include "Settings/SoundSettingsTab.h"
#include "Settings/UsageSettingsTab.h"
#include "Sound/SoundPlayer.h"
#include "Sound/SoundSettings.h"
#include "UI/Kit/SettingsStyle.h"
#include "UI/StatusItemController.h"
#include "Usage/UsageStore.h"

#include <QPainter>
#include <QSystemTrayIcon>
#include <optional>
#include <vector>

namespace velquist::render {
namespace {

constexpr QSize kTabSize(480, 560);

// A tab as the settings window shows it: its colours and style sheet come from the window.
void show(RenderSink& sink, const QString& state, QWidget& tab, QSize size = kTabSize)
{
    SettingsStyle::apply(tab);
    sink.widget(state, tab, size);
}

// Mirroring that the render sets.
class FixedMirroring final : public DisplayMirroring
{
  public:
    explicit FixedMirroring(bool mirrored) : m_mirrored(mirrored) {}
    bool canDetectMirroring() const override { return true; }
    void queryMirroring(QObject*, Answer done) override { done(m_mirrored); }
    void observeDisplayChanges(QObject*, std::function<void()>) override {}

  private:
    bool m_mirrored;
};

// A screen that shows a tray of one colour around the status icon; none: unreadable.
class PaintedTray final : public ScreenGrabber
{
  public:
    explicit PaintedTray(std::optional<QColor> colour = std::nullopt) : m_colour(colour) {}
    QImage grab(const QRect&) const override
    {
        if (!m_colour)
            return {};
        QImage image(22, 22, QImage::Format_RGB32);
        image.fill(*m_colour);
        return image;
    }

  private:
    std::optional<QColor> m_colour;
};

const RenderRegistration sounds("settings-sounds", [](const RenderContext& context, RenderSink& sink) {
    sink.setBackdrop(SettingsStyle::windowBackground());
    SoundSettingsTab notice(nullptr, nullptr);
    show(sink, "not-launched", notice);

    UserDefaults defaults;
    SoundSettings settings(defaults, context.clock);
    NoSoundOutput output;
    SoundPlayer player(settings, output, {});
    SoundSettingsTab fresh(&settings, &player);
    show(sink, "fresh", fresh, QSize(480, 720));

    settings.setEnabled(false);
    settings.setChoice(SoundChoice::off(), SoundEvent::question);
    settings.setQuietHoursEnabled(true);
    settings.setQuietStartMinutes(22 * 60 + 30);
    SoundSettingsTab quiet(&settings, &player);
    show(sink, "off-and-quiet-hours", quiet, QSize(480, 820));
});

const RenderRegistration filters("settings-filters", [](const RenderContext& context, RenderSink& sink) {
    sink.setBackdrop(SettingsStyle::windowBackground());
    FilterSettingsTab notice(nullptr);
    show(sink, "not-launched", notice);

    FilterSettingsTab empty(&context.store);
    show(sink, "no-filters", empty);

    // Rules on the demonstration store, taken away again so later views see it as it was.
    SilenceRuleStore& rules = context.store.silence();
    SilenceRule byFolder;
    byFolder.id = QUuid::createUuid();
    byFolder.match = SilenceRule::Match::prefix;
    byFolder.pattern = context.sessions.front().cwd;
    SilenceRule byPrompt;
    byPrompt.id = QUuid::createUuid();
    byPrompt.field = SilenceRule::Field::prompt;
    byPrompt.pattern = "## Memory Writing Agent";
    SilenceRule blank;
    blank.id = QUuid::createUuid();
    for (const SilenceRule& rule : {byFolder, byPrompt, blank})
        rules.add(rule);
    const QUuid preset = rules.presetRules().front().id;
    rules.setEnabled(true, preset);
    FilterSettingsTab filled(&context.store);
    show(sink, "rules", filled, QSize(480, 720));
    for (const SilenceRule& rule : {byFolder, byPrompt, blank})
        rules.remove(rule.id);
    rules.setEnabled(false, preset);
});

const RenderRegistration privacy("settings-privacy", [](const RenderContext&, RenderSink& sink) {
    sink.setBackdrop(SettingsStyle::windowBackground());
    PrivacySettingsTab notice(nullptr, nullptr);
    show(sink, "not-launched", notice);

    UserDefaults defaults;
    FixedMirroring unmirrored(false);
    PrivacyGuard off(defaults, unmirrored);
    PrivacySettingsTab offTab(&off, nullptr);
    show(sink, "off", offTab);

    FixedMirroring mirrored(true);
    PrivacyGuard automatic(defaults, mirrored);
    PrivacySettingsTab mirroredTab(&automatic, nullptr);
    show(sink, "mirrored", mirroredTab);
});

// An account whose reads wait until the render answers them.
class HeldSource final : public UsageSource
{
  public:
    void fetch(Completion done) override { m_pending = std::move(done); }
    void answer(UsageResult<QuotaData> outcome)
    {
        if (auto done = std::exchange(m_pending, nullptr))
            done(std::move(outcome));
    }

  private:
    Completion m_pending;
};

const RenderRegistration usage("settings-usage", [](const RenderContext& context, RenderSink& sink) {
    sink.setBackdrop(SettingsStyle::windowBackground());
    UsageSettingsTab notice(nullptr, context.clock);
    show(sink, "not-launched", notice);

    UserDefaults defaults;
    SystemClock clock;
    QtScheduler scheduler;
    HeldSource claude;
    HeldSource codex;
    UsageStore store(clock, scheduler, defaults, claude, codex);
    store.setEnabled(false);
    UsageSettingsTab tab(&store, context.clock);
    show(sink, "off", tab);

    store.setEnabled(true);
    show(sink, "checking", tab);

    QuotaData reading;
    reading.planName = "Max";
    reading.windows.push_back({"session", "Session", 43.2, context.clock.now() + std::chrono::minutes(135)});
    reading.windows.push_back({"weekly", "Week", 79.5, context.clock.now() + std::chrono::hours(53)});
    reading.windows.push_back({"weekly-opus", "Week (Opus)", 12, std::nullopt});
    claude.answer(reading);
    show(sink, "reading", tab);

    store.refresh();
    claude.answer(UsageError::missingProfileScope());
    show(sink, "failure", tab);

    store.setProvider(UsageProvider::codex);
    codex.answer(UsageError::notAuthenticated());
    show(sink, "codex-signed-out", tab);
    store.stop();
});

const RenderRegistration statusMenu("status-menu", [](const RenderContext&, RenderSink& sink) {
    UserDefaults defaults;
    FixedMirroring mirrored(true);
    PrivacyGuard privacy(defaults, mirrored);
    QtScheduler scheduler;
    const PaintedTray unreadable;
    StatusItemController::Services services;
    services.privacy = &privacy;
    services.trayAvailable = [] { return true; };
    StatusItemController controller(std::move(services), scheduler, unreadable);
    controller.refreshPrivacyItem();
    sink.widget("mirrored", controller.menu());

    // The tray icon on a light and on a dark tray, plain and under privacy mode.
    const QColor trays[] = {QColor(0xdc, 0xda, 0xd5), QColor(0x2b, 0x2b, 0x2b)};
    std::vector<QPixmap> icons;
    for (const QColor& tray : trays) {
        for (const bool dimmed : {false, true}) {
            StatusItemController::Services look;
            look.icon = VelquistMark::trayIcon(Qt::white);
            look.lightTrayIcon = VelquistMark::trayIcon(QColor(0x1d, 0x1d, 0x1f));
            look.privacy = &privacy;
            look.trayAvailable = [] { return true; };
            privacy.setActive(dimmed);
            const PaintedTray painted(tray);
            StatusItemController item(std::move(look), scheduler, painted);
            item.refreshTrayColours();
            item.refreshPrivacyItem();
            icons.push_back(item.trayIcon().icon().pixmap(QSize(22, 22)));
        }
    }
    privacy.setActive(false);
    sink.painted("tray-icons", QSize(4 * 34, 34), [&](QPainter& painter) {
        for (std::size_t i = 0; i < icons.size(); ++i) {
            painter.fillRect(QRect(int(i) * 34, 0, 34, 34), trays[i / 2]);
            painter.drawPixmap(int(i) * 34 + 6, 6, icons[i]);
        }
    });
});

} // namespace
} // namespace velquist::render
