#include "Windows/NotchScreenController.h"

#include "Core/NotchViewModel.h"
#include "Core/SessionStore.h"
#include "Platform/UserDefaults.h"
#include "UI/NotchContainerView.h"
#include "UI/NotchShape.h"
#include "Windows/DisplayIdentity.h"
#include "Windows/NotchPanel.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace velquist {

NotchScreenController::NotchScreenController(const ScreenInfo& screen,
                                             const std::vector<ScreenInfo>& attached, PanelServices& services,
                                             QObject* parent)
    : QObject(parent), m_services(services), m_geometry(NotchGeometry::forScreen(screen, attached)),
      m_screenFrame(screen.geometry), m_screenID(DisplayIdentity::idOrName(ScreenDescription::from(screen))),
      m_isBuiltIn(DisplayIdentity::isBuiltIn(ScreenDescription::from(screen))),
      m_model(std::make_unique<NotchViewModel>(
          NotchViewModel::BarMetrics{m_geometry.barHeight, m_geometry.centerGapWidth, m_geometry.wingWidth},
          services.store, services.coordinator, services.privacy, services.defaults, services.scheduler,
          services.hasUsageWindow)),
      m_panel(std::make_unique<NotchPanel>(services.shaper)), m_pointerInterest(services.pointer)
{
    m_content = new NotchContainerView(*m_model, m_geometry,
                                       NotchContainerView::Services{services.coordinator, services.defaults,
                                                                    services.rows, services.clock,
                                                                    services.usage, services.introIsPlaying},
                                       m_panel.get());
    // Without a compositor the window is cut to the notch's final outline at once; a body still
    // growing or shrinking inside that cut would show black corners and half-drawn cards, so the
    // body takes each new outline at once too.
    if (!m_panel->isTranslucent())
        m_content->setAnimated(false);
    if (services.makeCharacterLayer)
        m_content->setCharacterLayer(services.makeCharacterLayer(int(std::ceil(m_geometry.barHeight))));
    const QRect frame = panelFrame(m_geometry, m_screenFrame);
    // The window is made on its own screen before it is placed, so it opens on that screen's root.
    if (QScreen* own = qtScreenFor(screen, QGuiApplication::screens()))
        m_panel->setScreen(own);
    m_panel->setGeometry(frame);
    m_content->setGeometry(QRect(QPoint(0, 0), frame.size()));

    // The shape follows every change of what the notch covers.
    for (auto signal : {&NotchViewModel::presentationChanged, &NotchViewModel::collapsedWidthChanged,
                        &NotchViewModel::sheetHeightChanged, &NotchViewModel::hoveringChanged,
                        &NotchViewModel::barConcealedChanged})
        connect(m_model.get(), signal, this, &NotchScreenController::updateShape);
    connect(m_model.get(), &NotchViewModel::sessionsRefreshed, this, &NotchScreenController::updateShape);
    updateShape();
    m_panel->show();

    // Moves anywhere on the desktop, and the panel's own enter and leave for when those are not
    // reported.
    connect(&services.pointer, &PointerSource::moved, this,
            [this](QPoint position) { checkPointer(position); });
    m_panel->installEventFilter(this);
}

NotchScreenController::~NotchScreenController()
{
    m_panel->removeEventFilter(this);
    m_panel->close();
    // The content goes with the panel, before the model it shows.
    m_panel.reset();
}

QScreen* NotchScreenController::qtScreenFor(const ScreenInfo& screen, const QList<QScreen*>& candidates)
{
    for (QScreen* candidate : candidates) {
        // A name the provider qualified with its X screen's number starts with the screen's own.
        const bool named =
            candidate && (candidate->name() == screen.connector ||
                          screen.connector.startsWith(candidate->name() + QStringLiteral(" (X screen ")));
        if (named && candidate->geometry() == screen.geometry)
            return candidate;
    }
    return nullptr;
}

QRect NotchScreenController::panelFrame(const NotchGeometry& geometry, const QRect& screenFrame)
{
    const int width = int(std::ceil(geometry.openWidth())) + kPanelMargin;
    const int left = screenFrame.x() + (screenFrame.width() - width) / 2;
    return QRect(left, screenFrame.y(), width, kPanelHeight);
}

QRect NotchScreenController::visibleRect() const
{
    qreal width = 0;
    qreal height = 0;
    if (m_model->presentation() == PanelPresentation::collapsed) {
        width = m_model->collapsedWidth();
        height = m_geometry.barHeight;
    } else {
        width = m_geometry.openWidth();
        height = std::min(m_geometry.barHeight + m_model->sheetHeight(), NotchGeometry::kMaximumOpenHeight);
    }
    const qreal left = m_screenFrame.x() + m_screenFrame.width() / 2.0 - width / 2;
    return QRectF(left, m_screenFrame.y(), width, height).toAlignedRect();
}

void NotchScreenController::setHoldOpen(bool on)
{
    if (m_model->holdOpen() != on)
        m_model->setHoldOpen(on);
}

void NotchScreenController::checkPointer(std::optional<QPoint> position)
{
    if (m_panel->isVisible()) {
        const bool inside = position && visibleRect().contains(*position);
        if (inside != m_pointerInside) {
            m_pointerInside = inside;
            m_model->setHovering(inside);
        }
    } else if (m_pointerInside) {
        m_pointerInside = false;
        m_model->setHovering(false);
    }
}

void NotchScreenController::syncPointer()
{
    checkPointer(m_services.pointer.position());
}

bool NotchScreenController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_panel.get() && (event->type() == QEvent::Enter || event->type() == QEvent::Leave))
        syncPointer();
    return QObject::eventFilter(watched, event);
}

void NotchScreenController::updateShape()
{
    const bool collapsed = m_model->presentation() == PanelPresentation::collapsed;
    // A bar hidden while idle lets every click through.
    if (collapsed && m_model->isBarConcealed()) {
        m_panel->setNotchOutline({});
        return;
    }
    const QRectF local = QRectF(visibleRect()).translated(-m_panel->geometry().topLeft());
    m_panel->setNotchOutline(
        NotchShape::path(local, collapsed ? NotchShape::kCollapsedTopRadius : NotchShape::kOpenTopRadius,
                         collapsed ? NotchShape::kCollapsedBottomRadius : NotchShape::kOpenBottomRadius));
}

} // namespace velquist
