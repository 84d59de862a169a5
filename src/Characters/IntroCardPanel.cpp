#include "Characters/IntroCardPanel.h"

#include "Characters/IntroCardView.h"
#include "Characters/IntroStyle.h"
#include "Platform/PanelShaper.h"
#include "UI/Kit/AlphaBlur.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <QWindow>
#include <cmath>

namespace velquist {

namespace {

constexpr int kShadowScale = 4;
constexpr qreal kShadowRadius = 44;
constexpr qreal kShadowOffset = 20;

} // namespace

// The window itself: the card view inside the shadow's margins, dragged by its background.
class IntroCardWindow final : public QWidget
{
  public:
    IntroCardWindow(IntroCardPanel& panel, bool translucent, PanelShaper* shaper)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_panel(&panel),
          m_translucent(translucent), m_shaper(shaper)
    {
        if (m_translucent)
            setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_DeleteOnClose);
        setWindowTitle(QStringLiteral("Velquist Introduction"));
    }

    void detach() { m_panel = nullptr; }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!m_translucent)
            return;
        QPainter painter(this);
        const QRect card = rect().marginsRemoved(IntroCardPanel::kShadowMargins);
        if (m_shadowFor != card.size()) {
            m_shadowFor = card.size();
            m_shadow = IntroCardPanel::shadowImage(card.size());
        }
        // The blurred canvas reaches one blur radius around the card and sits 20 points lower:
        // with these margins that is exactly the window.
        painter.drawImage(QRectF(rect()), m_shadow);
    }

    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        if (QWindow* window = windowHandle(); !m_translucent && m_shaper && window && window->handle())
            m_shaper->prepareCutWindow(*window);
    }

    void resizeEvent(QResizeEvent*) override
    {
        if (m_translucent)
            return;
        QPainterPath card;
        card.addRoundedRect(QRectF(rect().marginsRemoved(IntroCardPanel::kShadowMargins)),
                            IntroCardView::kRadius, IntroCardView::kRadius);
        setMask(QRegion(card.toFillPolygon().toPolygon()));
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !m_panel)
            return;
        m_grab = event->globalPosition().toPoint() - m_panel->cardGeometry().topLeft();
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_grab || !m_panel || !(event->buttons() & Qt::LeftButton))
            return;
        // Parking follows the user's hand here, never a move event, which also reports the card's
        // own moves (late, on some window managers).
        m_panel->userMoved(event->globalPosition().toPoint() - *m_grab);
    }
    void mouseReleaseEvent(QMouseEvent*) override { m_grab.reset(); }

  private:
    IntroCardPanel* m_panel;
    bool m_translucent;
    PanelShaper* m_shaper;
    std::optional<QPoint> m_grab;
    QSize m_shadowFor;
    QImage m_shadow;
};

QImage IntroCardPanel::shadowImage(QSize card)
{
    // The shadow of the card's rounded shape, centred in an image the size of the card plus a
    // blur radius on every side, blurred at a quarter of the size.
    const QSizeF canvas(card.width() + 2 * kShadowRadius, card.height() + 2 * kShadowRadius);
    QImage small(
        QSize(int(std::ceil(canvas.width() / kShadowScale)), int(std::ceil(canvas.height() / kShadowScale))),
        QImage::Format_ARGB32_Premultiplied);
    small.fill(Qt::transparent);
    {
        QPainter painter(&small);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(qreal(small.width()) / canvas.width(), qreal(small.height()) / canvas.height());
        QPainterPath shape;
        shape.addRoundedRect(QRectF(kShadowRadius, kShadowRadius, card.width(), card.height()),
                             IntroCardView::kRadius, IntroCardView::kRadius);
        painter.fillPath(shape, IntroStyle::cardShadow());
    }
    boxBlurAlpha(small, int(std::round(kShadowRadius / 2 / kShadowScale / 1.7)));
    return small;
}

IntroCardPanel::IntroCardPanel(const QRect& screen, const IntroStepContent& content,
                               IntroCardCallbacks callbacks, Services services)
    : m_screen(screen), m_services(services)
{
    m_window = new IntroCardWindow(*this, m_services.translucent, m_services.shaper);
    m_view =
        new IntroCardView(m_services.ticker, m_services.scheduler, content, std::move(callbacks), m_window);
    m_view->setAccessibilityGranted(m_services.accessibilityGranted);
    m_view->setReduceMotion(m_services.reduceMotion);
    m_view->move(kShadowMargins.left(), kShadowMargins.top());
    // While a new step eases in, the window follows the card's height (its top edge stays).
    connect(m_view, &IntroCardView::heightChanged, this, [this] {
        if (!m_closed && !isAnimating())
            placeCard(frame(false));
    });

    const QRect resting = frame(false);
    if (m_services.reduceMotion) {
        placeCard(resting);
        m_window->setWindowOpacity(1);
    } else {
        placeCard(frame(true));
        m_window->setWindowOpacity(0);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_view->setFocus(Qt::OtherFocusReason);
    if (!m_services.reduceMotion) {
        animate(kEntryMs, QEasingCurve::OutCubic, [this](double t) {
            // The target is read at each frame, so a step change mid-rise lands in the right place.
            const QRect from = frame(true), to = frame(false);
            placeCard(QRect(QPoint(to.x(), int(std::lround(from.y() + (to.y() - from.y()) * t))), to.size()));
            m_window->setWindowOpacity(t);
        });
    }
}

IntroCardPanel::~IntroCardPanel()
{
    if (!m_closed)
        close();
    if (m_window)
        m_window->detach();
}

QWidget* IntroCardPanel::window() const
{
    return m_window;
}

bool IntroCardPanel::isAnimating() const
{
    return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

QRect IntroCardPanel::placedFrame(const QRect& screen, QSize card, bool rising,
                                  std::optional<QPoint> parkedTopLeft)
{
    const int rise = rising ? kRise : 0;
    if (parkedTopLeft)
        return QRect(QPoint(parkedTopLeft->x(), parkedTopLeft->y() + rise), card);
    const int top = screen.top() + int(std::lround(kTopFraction * screen.height()));
    const int x = screen.left() + (screen.width() - card.width()) / 2;
    int y = top + rise;
    // Qt's y grows downward: the card's bottom stays 24 points above the screen's bottom.
    y = std::min(y, screen.top() + screen.height() - kBottomGap - card.height());
    return QRect(QPoint(x, y), card);
}

QRect IntroCardPanel::frame(bool rising) const
{
    return placedFrame(m_screen, m_view->sizeHint(), rising, m_parkedTopLeft);
}

QRect IntroCardPanel::cardGeometry() const
{
    if (!m_window)
        return {};
    return QRect(m_window->pos() + QPoint(kShadowMargins.left(), kShadowMargins.top()), m_view->size());
}

void IntroCardPanel::placeCard(const QRect& card)
{
    if (m_window)
        m_window->setGeometry(card.marginsAdded(kShadowMargins));
}

void IntroCardPanel::refresh(const IntroStepContent& content)
{
    if (m_closed)
        return;
    m_view->setContent(content);
    if (!isAnimating())
        placeCard(frame(false));
    m_window->update();
}

void IntroCardPanel::stepAside()
{
    if (m_closed || isParked())
        return;
    const QRect from = cardGeometry();
    m_parkedTopLeft = QPoint(m_screen.left() + kParkedLeft, from.top());
    if (m_services.reduceMotion) {
        placeCard(frame(false));
        return;
    }
    animate(kAsideMs, QEasingCurve::InOutCubic, [this, from](double t) {
        const QRect to = frame(false);
        placeCard(QRect(QPoint(int(std::lround(from.x() + (to.x() - from.x()) * t)), to.y()), to.size()));
    });
}

void IntroCardPanel::userMoved(QPoint topLeft)
{
    if (m_closed)
        return;
    if (m_animation)
        m_animation->stop();
    if (m_window)
        m_window->setWindowOpacity(1);
    m_parkedTopLeft = topLeft;
    placeCard(frame(false));
}

void IntroCardPanel::close()
{
    if (m_closed)
        return;
    m_closed = true;
    if (m_animation)
        m_animation->stop();
    if (!m_window)
        return;
    // The fading window may outlive the clocks it was given: nothing in it runs on them from here.
    m_view->freeze();
    if (m_services.reduceMotion) {
        m_window->close();
        return;
    }
    // The fade belongs to the window, so it finishes even when this object goes at once.
    QPointer<IntroCardWindow> window = m_window;
    auto* fade = new QVariantAnimation(window);
    fade->setDuration(kFadeOutMs);
    fade->setStartValue(window->windowOpacity());
    fade->setEndValue(0.0);
    QObject::connect(fade, &QVariantAnimation::valueChanged, window,
                     [window](const QVariant& value) { window->setWindowOpacity(value.toDouble()); });
    QObject::connect(fade, &QVariantAnimation::finished, window, [window] { window->close(); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void IntroCardPanel::animate(int ms, const QEasingCurve& curve, std::function<void(double)> step,
                             std::function<void()> done)
{
    if (m_animation)
        m_animation->stop();
    auto* animation = new QVariantAnimation(m_window);
    animation->setDuration(ms);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(curve);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [step = std::move(step)](const QVariant& value) { step(value.toDouble()); });
    if (done)
        connect(animation, &QVariantAnimation::finished, this, std::move(done));
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

IntroCardPanelFactory::IntroCardPanelFactory(ViewTicker& ticker, Scheduler& scheduler,
                                             std::function<bool()> reduceMotion,
                                             std::function<bool()> accessibilityGranted,
                                             std::function<bool()> translucent, PanelShaper* shaper)
    : m_ticker(ticker), m_scheduler(scheduler), m_reduceMotion(std::move(reduceMotion)),
      m_accessibilityGranted(std::move(accessibilityGranted)), m_translucent(std::move(translucent)),
      m_shaper(shaper)
{
}

std::unique_ptr<IntroCard> IntroCardPanelFactory::create(const QRect& screen, const IntroStepContent& content,
                                                         IntroCardCallbacks callbacks)
{
    IntroCardPanel::Services services{m_ticker,
                                      m_scheduler,
                                      m_reduceMotion && m_reduceMotion(),
                                      m_accessibilityGranted && m_accessibilityGranted(),
                                      !m_translucent || m_translucent(),
                                      m_shaper};
    return std::make_unique<IntroCardPanel>(screen, content, std::move(callbacks), services);
}

} // namespace velquist
