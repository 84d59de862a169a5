#include "Characters/IntroCardView.h"

#include "Characters/AccessibilityGuide.h"
#include "Characters/IntroCardButton.h"
#include "Characters/IntroStyle.h"
#include "Characters/LogoCat.h"
#include "Characters/LogoCatMotion.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/SpringValue.h"

#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextLayout>
#include <cmath>

namespace velquist {
namespace {

constexpr qreal kPadX = 34;
constexpr qreal kPadY = 30;
constexpr qreal kColumnGap = 20;
constexpr int kCatHeight = 104;
constexpr qreal kCatFrame = 143;
constexpr qreal kCatTop = 2;
constexpr qreal kBarWidth = 26;
constexpr qreal kBarHeight = 3;
constexpr qreal kBarGap = 5;
constexpr qreal kTitleTop = 22;
constexpr qreal kTitleSpacing = 2;
constexpr qreal kBodyTop = 12;
constexpr qreal kBodySpacing = 4.5;
constexpr qreal kGuideTop = 16;
constexpr qreal kButtonsTop = 26;
constexpr qreal kBackGap = 16;
constexpr qreal kSecondaryGap = 6;

constexpr qreal wordsWidth()
{
    return IntroCardView::kWidth - 2 * kPadX - kColumnGap - kCatFrame;
}

QFont titleFont()
{
    QFont font = AuroraStyle::font(25, QFont::DemiBold);
    font.setFamilies({QStringLiteral("DejaVu Serif"), QStringLiteral("serif")});
    font.setStyleHint(QFont::Serif);
    return font;
}

QFont bodyFont()
{
    return AuroraStyle::font(13.5);
}

// Lays `text` out in lines of `width`, one paragraph per line break, `extra` points between lines;
// draws it at `origin` when a painter is given. Returns the height taken.
qreal wrapped(const QString& text, const QFont& font, qreal width, qreal extra, QPainter* painter = nullptr,
              QPointF origin = {})
{
    const QFontMetricsF metrics(font);
    qreal y = 0;
    bool firstLine = true;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            y += (firstLine ? 0 : extra) + metrics.height();
            firstLine = false;
            continue;
        }
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            if (!firstLine)
                y += extra;
            line.setPosition(QPointF(0, y));
            y += line.height();
            firstLine = false;
        }
        layout.endLayout();
        if (painter)
            layout.draw(painter, origin);
    }
    return std::ceil(y);
}

} // namespace

IntroCardView::IntroCardView(ViewTicker& ticker, Scheduler& scheduler, const IntroStepContent& content,
                             IntroCardCallbacks callbacks, QWidget* parent)
    : QWidget(parent), m_ticker(ticker), m_scheduler(scheduler), m_content(content),
      m_callbacks(std::move(callbacks))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::StrongFocus);
    m_cat = new LogoCat(m_ticker, m_scheduler, m_content.expression, kCatHeight, this);
    m_cat->setAccessibleName(QString());
    rebuild();
}

IntroCardView::~IntroCardView() = default;

void IntroCardView::setContent(const IntroStepContent& content)
{
    if (content == m_content)
        return;
    // Only a card on screen has anything to ease: one being built or hidden shows the new step.
    if (isVisible() && !m_reduceMotion && !m_frozen && m_height > 0)
        startTransition();
    else
        endTransition();
    m_content = content;
    rebuild();
}

void IntroCardView::setAccessibilityGranted(bool granted)
{
    if (granted == m_granted)
        return;
    m_granted = granted;
    rebuild();
}

void IntroCardView::setReduceMotion(bool reduce)
{
    m_reduceMotion = reduce;
    m_cat->setReduceMotion(reduce);
    if (reduce)
        endTransition();
}

void IntroCardView::freeze()
{
    m_frozen = true;
    m_cat->setReduceMotion(true);
    endTransition();
}

void IntroCardView::startTransition()
{
    Transition transition;
    transition.start = m_ticker.clock().monotonic();
    transition.fromHeight = m_shownHeight;
    // The bars spring on from the colours they show now, even mid-way through a change.
    for (int i = 0; i < m_content.total; ++i)
        transition.bars.push_back(barColour(i));
    // The old step as it looks when fully shown (a change under way jumps to its end here).
    for (IntroCardButton* button : m_buttons)
        button->setGraphicsEffect(nullptr);
    if (m_guide) {
        m_guide->setGraphicsEffect(nullptr);
        m_guide->clearMask();
    }
    const qreal ratio = devicePixelRatioF();
    transition.words = QPixmap(QSize(kWidth, m_buttonsTop) * ratio);
    transition.words.setDevicePixelRatio(ratio);
    transition.words.fill(Qt::transparent);
    {
        QPainter painter(&transition.words);
        painter.setRenderHint(QPainter::Antialiasing);
        paintWords(painter);
        if (m_guide)
            m_guide->render(&painter, m_guide->pos(), QRegion(), QWidget::DrawChildren);
    }
    transition.buttonsFromBottom = m_height - m_buttonsTop;
    transition.buttons = QPixmap(QSize(kWidth, transition.buttonsFromBottom) * ratio);
    transition.buttons.setDevicePixelRatio(ratio);
    transition.buttons.fill(Qt::transparent);
    {
        QPainter painter(&transition.buttons);
        for (std::size_t i = 0; i < m_buttons.size(); ++i)
            m_buttons[i]->render(&painter, m_buttonRest[i] - QPoint(0, m_buttonsTop), QRegion(),
                                 QWidget::DrawChildren);
    }
    m_transition = std::move(transition);
    if (!m_transitionTick.isActive())
        m_transitionTick = m_ticker.subscribe(ViewTicker::Period::frame, [this] { stepTransition(); });
}

double IntroCardView::eased() const
{
    if (!m_transition)
        return 1;
    const double seconds =
        std::chrono::duration<double>(m_ticker.clock().monotonic() - m_transition->start).count();
    return LogoCatMotion::easeInOut(seconds / kTransitionSeconds);
}

double IntroCardView::sprung() const
{
    if (!m_transition)
        return 1;
    const double seconds =
        std::chrono::duration<double>(m_ticker.clock().monotonic() - m_transition->start).count();
    return SpringValue::settledProgress(seconds, kBarsResponse);
}

void IntroCardView::stepTransition()
{
    if (!m_transition)
        return;
    const double progress = eased();
    if (progress >= 1 && sprung() >= 1) {
        endTransition();
        return;
    }
    const int shown =
        int(std::lround(m_transition->fromHeight + (m_height - m_transition->fromHeight) * progress));
    if (shown != m_shownHeight) {
        m_shownHeight = shown;
        setFixedSize(kWidth, m_shownHeight);
        placeButtons();
        Q_EMIT heightChanged();
    }
    for (QObject* child : children()) {
        if (auto* widget = qobject_cast<QWidget*>(child))
            if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect()))
                effect->setOpacity(progress);
    }
    if (m_guide)
        m_guide->setMask(QRegion(0, 0, m_guide->width(), std::max(1, wordsBottom() - m_guide->y())));
    update();
}

void IntroCardView::endTransition()
{
    if (!m_transition)
        return;
    m_transition.reset();
    m_transitionTick.reset();
    for (IntroCardButton* button : m_buttons)
        button->setGraphicsEffect(nullptr);
    if (m_guide) {
        m_guide->setGraphicsEffect(nullptr);
        m_guide->clearMask();
    }
    const bool moved = m_shownHeight != m_height;
    m_shownHeight = m_height;
    setFixedSize(kWidth, m_shownHeight);
    placeButtons();
    update();
    if (moved)
        Q_EMIT heightChanged();
}

void IntroCardView::placeButtons()
{
    // The buttons ride on the bottom edge while the height eases.
    const QPoint offset(0, m_shownHeight - m_height);
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->move(m_buttonRest[i] + offset);
}

QColor IntroCardView::barColour(int index) const
{
    const QColor lit = index <= m_content.index ? IntroStyle::dawn()[std::size_t(std::min(index, 3))]
                                                : IntroStyle::dawnSpent();
    if (!m_transition || std::size_t(index) >= m_transition->bars.size())
        return lit;
    const QColor from = m_transition->bars[std::size_t(index)];
    const float t = float(sprung());
    const auto mix = [t](float a, float b) { return a + (b - a) * t; };
    return QColor::fromRgbF(mix(from.redF(), lit.redF()), mix(from.greenF(), lit.greenF()),
                            mix(from.blueF(), lit.blueF()), mix(from.alphaF(), lit.alphaF()));
}

void IntroCardView::rebuild()
{
    m_cat->setExpression(m_content.expression);
    delete m_guide;
    m_guide = nullptr;
    for (IntroCardButton* button : m_buttons)
        delete button;
    m_buttons.clear();

    // The left column: bars, title, body and perhaps the guide.
    const qreal left = kPadX;
    qreal y = kPadY + kBarHeight;
    m_titleTop = y + kTitleTop;
    y = m_titleTop +
        wrapped(QString::fromStdString(m_content.title), titleFont(), wordsWidth(), kTitleSpacing);
    m_bodyTop = y + kBodyTop;
    y = m_bodyTop + wrapped(QString::fromStdString(m_content.body), bodyFont(), wordsWidth(), kBodySpacing);
    if (m_content.showsAccessibilityGuide) {
        m_guide = new AccessibilityGuide(m_granted, this);
        m_guide->setGeometry(int(left), int(y + kGuideTop), int(wordsWidth()), m_guide->sizeHint().height());
        m_guide->show();
        y += kGuideTop + m_guide->height();
    }
    const qreal catBottom = kPadY + kCatTop + kCatHeight;
    const qreal rowBottom = std::max(y, catBottom);
    const qreal catLeft = kWidth - kPadX - kCatFrame + (kCatFrame - LogoCat::widthFor(kCatHeight)) / 2;
    m_cat->move(int(catLeft), int(kPadY + kCatTop));

    // The buttons: Back and Skip on the left, the others on the right.
    const auto make = [&](IntroCardButton::Kind kind, const char* title, std::function<void()> action,
                          bool arrow = false) {
        auto* button = new IntroCardButton(kind, QString::fromUtf8(title), arrow, this);
        connect(button, &QAbstractButton::clicked, this, [action = std::move(action)] {
            if (action)
                action();
        });
        m_buttons.push_back(button);
        return button;
    };
    const qreal buttonsTop = rowBottom + kButtonsTop;
    std::vector<IntroCardButton*> leftSide;
    std::vector<IntroCardButton*> rightSide;
    if (m_content.index >= 1)
        leftSide.push_back(make(IntroCardButton::Kind::quiet, "Back", m_callbacks.onBack));
    if (!m_content.isLast())
        leftSide.push_back(make(IntroCardButton::Kind::quiet, "Skip tour", m_callbacks.onSkip));
    if (m_content.secondary)
        rightSide.push_back(
            make(IntroCardButton::Kind::secondary, m_content.secondary->c_str(), m_callbacks.onSecondary));
    rightSide.push_back(make(IntroCardButton::Kind::primary, m_content.primary.c_str(), m_callbacks.onPrimary,
                             !m_content.isLast()));
    int rowHeight = 0;
    for (IntroCardButton* button : m_buttons)
        rowHeight = std::max(rowHeight, button->height());
    qreal x = left;
    for (IntroCardButton* button : leftSide) {
        button->move(int(x), int(buttonsTop + (rowHeight - button->height()) / 2));
        x += button->width() + kBackGap;
    }
    x = kWidth - kPadX;
    for (auto it = rightSide.rbegin(); it != rightSide.rend(); ++it) {
        IntroCardButton* button = *it;
        x -= button->width();
        button->move(int(x), int(buttonsTop + (rowHeight - button->height()) / 2));
        x -= kSecondaryGap;
    }
    m_buttonRest.clear();
    for (IntroCardButton* button : m_buttons)
        m_buttonRest.push_back(button->pos());
    m_buttonsTop = int(buttonsTop);

    m_height = int(std::ceil(buttonsTop + rowHeight + kPadY));
    if (!m_transition)
        m_shownHeight = m_height;
    // The new step's controls fade in over the old ones' fading picture.
    if (m_transition) {
        std::vector<QWidget*> arriving(m_buttons.begin(), m_buttons.end());
        if (m_guide)
            arriving.push_back(m_guide);
        for (QWidget* widget : arriving) {
            auto* effect = new QGraphicsOpacityEffect(widget);
            effect->setOpacity(eased());
            widget->setGraphicsEffect(effect);
        }
    }
    placeButtons();
    if (m_transition && m_guide)
        m_guide->setMask(QRegion(0, 0, m_guide->width(), std::max(1, wordsBottom() - m_guide->y())));
    for (IntroCardButton* button : m_buttons)
        button->show();
    setFixedSize(kWidth, m_shownHeight);
    setAccessibleName(QString::fromStdString(m_content.title));
    update();
}

QStringList IntroCardView::buttonTitles() const
{
    QStringList titles;
    std::vector<IntroCardButton*> ordered = m_buttons;
    std::sort(ordered.begin(), ordered.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    for (IntroCardButton* button : ordered)
        titles << button->text();
    return titles;
}

bool IntroCardView::clickButton(const QString& title)
{
    for (IntroCardButton* button : m_buttons) {
        if (button->text() == title) {
            button->click();
            return true;
        }
    }
    return false;
}

void IntroCardView::keyPressEvent(QKeyEvent* event)
{
    if (event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    const auto run = [](const std::function<void()>& action) {
        if (action)
            action();
    };
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        run(m_callbacks.onPrimary);
        return;
    case Qt::Key_Escape:
        if (!m_content.isLast())
            run(m_callbacks.onSkip);
        return;
    case Qt::Key_Left:
        if (m_content.index >= 1)
            run(m_callbacks.onBack);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void IntroCardView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintBackground(painter);
    paintBars(painter);
    if (!m_transition) {
        paintWords(painter);
        return;
    }
    const double progress = eased();
    painter.setOpacity(1 - progress);
    painter.drawPixmap(QPointF(0, 0), m_transition->words);
    painter.drawPixmap(QPointF(0, m_shownHeight - m_transition->buttonsFromBottom), m_transition->buttons);
    painter.setOpacity(progress);
    // Taller new words show only down to the buttons, which ride on the growing bottom edge.
    painter.setClipRect(QRect(0, 0, kWidth, wordsBottom()));
    paintWords(painter);
}

int IntroCardView::wordsBottom() const
{
    return m_buttonsTop + m_shownHeight - m_height - int(kButtonsTop / 2);
}

void IntroCardView::paintBackground(QPainter& painter) const
{
    const QRectF card(0, 0, kWidth, m_shownHeight);
    QPainterPath shape;
    shape.addRoundedRect(card, kRadius, kRadius);
    painter.save();
    painter.setClipPath(shape);
    painter.fillPath(shape, IntroStyle::surface());

    // The aurora: three soft glows added onto the surface.
    struct Glow
    {
        int colour;
        qreal opacity;
        QPointF unit;
        qreal radius;
    };
    static constexpr Glow kGlows[] = {
        {0, 0.3, {0.12, -0.05}, 330}, {3, 0.16, {0.96, 1.05}, 300}, {2, 0.13, {0.8, -0.1}, 210}};
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    for (const Glow& glow : kGlows) {
        const QPointF centre(card.width() * glow.unit.x(), card.height() * glow.unit.y());
        QRadialGradient gradient(centre, glow.radius);
        QColor colour = IntroStyle::dawn()[std::size_t(glow.colour)];
        colour.setAlphaF(float(glow.opacity));
        gradient.setColorAt(0, colour);
        gradient.setColorAt(1, Qt::transparent);
        painter.fillRect(card, gradient);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // The top light: the dawn colours along the top edge, fading out at both ends.
    QLinearGradient light(card.topLeft(), card.topRight());
    const auto dawnAt = [](qreal t, qreal alpha) {
        const auto& dawn = IntroStyle::dawn();
        const qreal scaled = std::clamp(t, 0.0, 1.0) * 3;
        const int i = std::min(int(scaled), 2);
        const qreal f = scaled - i;
        const QColor a = dawn[std::size_t(i)], b = dawn[std::size_t(i + 1)];
        return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * f),
                                float(a.greenF() + (b.greenF() - a.greenF()) * f),
                                float(a.blueF() + (b.blueF() - a.blueF()) * f), float(alpha));
    };
    for (qreal t : {0.0, 0.22, 1.0 / 3, 2.0 / 3, 0.78, 1.0}) {
        const qreal alpha = t < 0.22 ? t / 0.22 : t > 0.78 ? (1 - t) / 0.22 : 1;
        light.setColorAt(t, dawnAt(t, alpha));
    }
    painter.fillRect(QRectF(0, 0, card.width(), 1.5), light);
    painter.restore();

    painter.setPen(QPen(IntroStyle::hairline(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), kRadius - 0.5, kRadius - 0.5);
}

void IntroCardView::paintBars(QPainter& painter) const
{
    // Progress: the bars up to this step lit in the dawn colours.
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < m_content.total; ++i) {
        const QRectF bar(kPadX + i * (kBarWidth + kBarGap), kPadY, kBarWidth, kBarHeight);
        painter.setBrush(barColour(i));
        painter.drawRoundedRect(bar, kBarHeight / 2, kBarHeight / 2);
    }
}

void IntroCardView::paintWords(QPainter& painter) const
{
    painter.setPen(Palette::textBright());
    wrapped(QString::fromStdString(m_content.title), titleFont(), wordsWidth(), kTitleSpacing, &painter,
            QPointF(kPadX, m_titleTop));
    painter.setPen(IntroStyle::bodyColour());
    wrapped(QString::fromStdString(m_content.body), bodyFont(), wordsWidth(), kBodySpacing, &painter,
            QPointF(kPadX, m_bodyTop));
}

} // namespace velquist
