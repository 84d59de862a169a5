// render-panel <output folder> [--scale N] [view ...]
//
// Renders every registered panel view (or only the named ones) in its states from the
// demonstration sessions into "<view>-<state>.png" files. Runs without a display.

#include "RenderRegistry.h"

#include "Core/MockData.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "UI/Kit/AuroraStyle.h"

#include <QApplication>
#include <QDir>
#include <QLayout>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

using namespace velquist;

namespace {

class FixedClock final : public Clock
{
  public:
    explicit FixedClock(WallTime now) : m_now(now) {}
    WallTime now() const override { return m_now; }
    Monotonic monotonic() const override { return Monotonic{}; }

  private:
    WallTime m_now;
};

class FileSink final : public render::RenderSink
{
  public:
    FileSink(QDir folder, QString view, qreal scale)
        : m_folder(std::move(folder)), m_view(std::move(view)), m_scale(scale)
    {
    }

    void widget(const QString& state, QWidget& widget, QSize size) override
    {
        widget.setAttribute(Qt::WA_DontShowOnScreen);
        widget.show();
        widget.resize(size.isEmpty() ? widget.sizeHint().expandedTo(QSize(1, 1)) : size);
        if (widget.layout())
            widget.layout()->activate();
        QImage image = canvas(widget.size());
        QPainter painter(&image);
        widget.render(&painter, {}, {}, QWidget::DrawChildren);
        painter.end();
        save(state, image);
    }

    void painted(const QString& state, QSize size, const std::function<void(QPainter&)>& paint) override
    {
        QImage image = canvas(size);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
        painter.end();
        save(state, image);
    }

    void setBackdrop(const QColor& colour) override { m_backdrop = colour; }

    int written = 0;

  private:
    QImage canvas(QSize size) const
    {
        QImage image(size * m_scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(m_scale);
        image.fill(m_backdrop);
        return image;
    }

    void save(const QString& state, const QImage& image)
    {
        const QString path = m_folder.filePath(m_view + '-' + state + ".png");
        if (!image.save(path)) {
            std::fprintf(stderr, "render-panel: could not write %s\n", qPrintable(path));
            return;
        }
        std::printf("%s\n", qPrintable(path));
        ++written;
    }

    QDir m_folder;
    QString m_view;
    qreal m_scale;
    QColor m_backdrop = AuroraStyle::sheet();
};

UsageReading demonstrationUsage(Clock::WallTime now)
{
    using namespace std::chrono;
    QuotaData quota;
    quota.planName = "Max";
    quota.fetchedAt = now;
    quota.windows = {
        {"session", "Session", 42, now + hours(2) + minutes(14)},
        {"weekly", "Weekly", 71, now + hours(24 * 3 + 5)},
        {"weekly-opus", "Opus Weekly", 93, now + hours(24 * 3 + 5)},
    };
    return {true, quota, UsageProvider::claude};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QStringList args = app.arguments().mid(1);
    qreal scale = 2;
    if (const int at = int(args.indexOf("--scale")); at >= 0 && at + 1 < args.size()) {
        scale = std::max(1.0, args.at(at + 1).toDouble());
        args.remove(at, 2);
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: render-panel <output folder> [--scale N] [view ...]\n");
        return 2;
    }
    QDir folder(args.takeFirst());
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "render-panel: cannot create %s\n", qPrintable(folder.path()));
        return 1;
    }

    // The store's files go to a scratch folder, never to the user's support folder.
    QTemporaryDir scratch;
    const std::filesystem::path base = scratch.path().toStdString();
    FixedClock clock(std::chrono::system_clock::now());
    QtScheduler scheduler;
    SilenceRuleStore silence(base / "silence-rules.json");
    SessionStore store(clock, scheduler, base / "sessions.json", &silence);
    store.disablePersistence();
    MockData::populate(store, clock.now());

    render::RenderContext context{store, clock, store.displaySessions(), demonstrationUsage(clock.now())};
    int written = 0;
    for (const render::Registered& entry : render::registry()) {
        if (!args.isEmpty() && !args.contains(entry.view))
            continue;
        FileSink sink(folder, entry.view, scale);
        entry.render(context, sink);
        written += sink.written;
    }
    std::fprintf(stderr, "render-panel: %d pictures in %s\n", written, qPrintable(folder.absolutePath()));
    return written > 0 ? 0 : 1;
}
