#include "UI/NotchContainerView.h"

#include "Core/AttentionCoordinator.h"
#include "Core/NotchViewModel.h"
#include "Platform/UserDefaults.h"
#include "UI/CollapsedBarView.h"
#include "UI/ExpandedListView.h"
#include "UI/NotchBody.h"
#include "UI/PeekView.h"

namespace velquist {
namespace {
constexpr const char* kSelectedCharacter = "selectedCharacterId";
} // namespace

NotchContainerView::NotchContainerView(NotchViewModel& model, const NotchGeometry& geometry,
                                       Services services, QWidget* parent)
    : QWidget(parent), m_model(model), m_services(std::move(services)), m_bar(new CollapsedBarView(geometry))
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_body = new NotchBody(geometry, m_bar, this);

    connect(m_body, &NotchBody::barClicked, &m_model, &NotchViewModel::handleCollapsedClick);
    connect(m_body, &NotchBody::sheetHeightChanged, this, &NotchContainerView::reportSheetHeight);
    connect(&m_model, &NotchViewModel::sheetHeightChanged, this, [this] {
        if (m_body->naturalSheetHeight() > 0)
            m_body->setSheetHeight(m_model.sheetHeight());
    });
    connect(&m_model, &NotchViewModel::presentationChanged, this, &NotchContainerView::applyPresentation);
    connect(&m_model, &NotchViewModel::collapsedWidthChanged, this,
            [this] { m_body->setCollapsedWidth(m_model.collapsedWidth()); });
    connect(&m_model, &NotchViewModel::barConcealedChanged, this, &NotchContainerView::applyConcealment);
    connect(&m_model, &NotchViewModel::sessionsRefreshed, this, &NotchContainerView::applySessions);
    connect(&m_services.coordinator, &AttentionCoordinator::snoozedUntilChanged, this,
            &NotchContainerView::applySnooze);
    // Settings may change on another thread; they are applied on ours.
    QPointer<NotchContainerView> self(this);
    m_defaultsObserver = m_services.defaults.addObserver([self](const std::string& key) {
        if (key != kSelectedCharacter)
            return;
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self)
                    self->applySettings();
            },
            Qt::QueuedConnection);
    });

    m_body->setCollapsedWidth(m_model.collapsedWidth());
    applySettings();
    applySnooze();
    applySessions();
    applyPresentation();
}

NotchContainerView::~NotchContainerView()
{
    m_services.defaults.removeObserver(m_defaultsObserver);
}

PeekView* NotchContainerView::peek() const
{
    return m_peek.data();
}
ExpandedListView* NotchContainerView::list() const
{
    return m_list.data();
}

void NotchContainerView::setAnimated(bool animated)
{
    m_body->setAnimated(animated);
}

void NotchContainerView::setCharacterLayer(QWidget* layer)
{
    m_bar->setCharacterLayer(layer);
}

std::optional<UsageReading> NotchContainerView::usage() const
{
    return m_services.usage ? m_services.usage() : std::nullopt;
}

void NotchContainerView::refreshUsage()
{
    const auto reading = usage();
    m_bar->setUsage(reading);
    const bool intro = m_services.introIsPlaying && m_services.introIsPlaying();
    if (m_list)
        m_list->setUsage(intro ? std::nullopt : reading);
}

void NotchContainerView::applyPresentation()
{
    const PanelPresentation presentation = m_model.presentation();
    const bool peeking = presentation == PanelPresentation::peeking;
    if (peeking) {
        const auto attention = m_model.peekSession();
        if (!attention) {
            m_body->setSheetContent(nullptr);
            m_peek = nullptr;
        } else if (m_peek) {
            m_peek->setSession(*attention, m_services.clock.now());
        } else {
            m_peek = new PeekView(*attention, m_services.clock.now());
            m_body->setSheetContent(m_peek);
        }
        m_list = nullptr;
    } else if (!m_list) {
        // The list is built even while collapsed: opening then only grows the sheet from 0.
        m_list = new ExpandedListView(m_model.cards(), m_services.rows, nullptr, &m_services.clock,
                                      &m_model.scheduler());
        m_list->setAvailableHeight(m_body->availableSheetHeight());
        m_body->setSheetContent(m_list);
        m_peek = nullptr;
        refreshUsage();
    }
    // A closed list does no list work; opening it catches up before the sheet measures it.
    if (m_list)
        m_list->setShown(presentation != PanelPresentation::collapsed);
    m_body->setOpen(presentation != PanelPresentation::collapsed);
    applyConcealment();
}

void NotchContainerView::applySessions()
{
    const NotchViewModel::BarSummary& summary = m_model.barSummary();
    m_bar->setSummary(summary.groups, summary.hasSessions);
    if (m_model.presentation() == PanelPresentation::peeking)
        applyPresentation();
    applyConcealment();
}

void NotchContainerView::applySettings()
{
    m_bar->setSelectedCharacterId(
        QString::fromStdString(m_services.defaults.stringValue(kSelectedCharacter).value_or("")));
    applyConcealment();
}

void NotchContainerView::applyConcealment()
{
    m_body->setConcealed(m_model.isBarConcealed());
}

void NotchContainerView::applySnooze()
{
    const auto until = m_services.coordinator.snoozedUntil();
    m_bar->setSnoozed(until && *until > m_services.clock.monotonic());
}

void NotchContainerView::reportSheetHeight(qreal height)
{
    m_model.reportSheetHeight(height);
    // An emptied sheet closes at once rather than staying at the last height the model kept.
    m_body->setSheetHeight(height > 0 ? m_model.sheetHeight() : 0);
}

void NotchContainerView::resizeEvent(QResizeEvent*)
{
    m_body->setGeometry(rect());
}

} // namespace velquist
