#include "Characters/CharacterLayer.h"

#include "Characters/CharacterCatalog.h"
#include "Characters/CharacterDirector.h"
#include "Characters/CharacterSettings.h"
#include "Characters/CharacterView.h"
#include "Core/SessionStore.h"
#include "Platform/UserDefaults.h"
#include "UI/PanelVisibility.h"

#include <QPointer>

namespace velquist {

CharacterLayer::CharacterLayer(SessionStore& store, UserDefaults& defaults, const CharacterCatalog& catalog,
                               Clock& clock, Scheduler& scheduler, int height, QWidget* parent)
    : QWidget(parent), m_store(store), m_defaults(defaults), m_catalog(catalog),
      m_height(std::max(height, 0)), m_director(new CharacterDirector(store, scheduler, this)),
      m_view(new CharacterView(clock, scheduler, this)), m_visibility(new PanelVisibility(this)),
      m_scheduler(scheduler)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(m_height, m_height);
    m_view->setBox(m_height);
    m_view->setWorkers(catalog.workers());
    m_view->setMood(m_director->mood());
    resolveCharacter();

    connect(&store, &SessionStore::sessionsChanged, this, &CharacterLayer::onSessionsChanged);
    connect(&store, &SessionStore::alertRaised, this,
            [this] { m_director->handleAlert(m_store.alertRevision(), m_store.alertSignal()); });
    connect(m_director, &CharacterDirector::moodChanged, m_view, &CharacterView::setMood);
    connect(m_visibility, &PanelVisibility::visibleChanged, this, &CharacterLayer::updateActivity);
    // The settings window may write from anywhere; the choice is applied on this object's thread.
    QPointer<CharacterLayer> self(this);
    m_defaultsObserver = m_defaults.addObserver([self](const std::string& key) {
        if (key != CharacterSettings::kSelectedCharacterKey || !self)
            return;
        QMetaObject::invokeMethod(self, [self] {
            if (self)
                self->resolveCharacter();
        });
    });
    updateActivity();
}

CharacterLayer::~CharacterLayer()
{
    m_defaults.removeObserver(m_defaultsObserver);
}

void CharacterLayer::setHeight(int height)
{
    height = std::max(height, 0);
    if (height == m_height)
        return;
    m_height = height;
    setFixedSize(height, height);
    m_view->setBox(height);
    updateGeometry();
}

CharacterMood CharacterLayer::mood() const
{
    return m_director->mood();
}

bool CharacterLayer::showsCharacter() const
{
    return m_view->character().has_value();
}

bool CharacterLayer::isPanelVisible() const
{
    return m_visibility->isVisible();
}

void CharacterLayer::onSessionsChanged()
{
    // Whether anything is displayed is a count the store keeps: the animation follows it at once.
    updateActivity();
    if (m_frame.isActive())
        return;
    m_frame = ScheduledTimer(m_scheduler, m_scheduler.schedule(kFrame, [this] {
        m_frame = ScheduledTimer();
        takeInSessions();
    }));
}

void CharacterLayer::takeInSessions()
{
    m_director->recompute();
    updateActivity();
}

void CharacterLayer::resolveCharacter()
{
    const NotchCharacter* pack =
        CharacterSettings::resolve(CharacterSettings::selectedId(m_defaults), m_catalog.packs());
    m_view->setCharacter(pack ? std::optional<NotchCharacter>(*pack) : std::nullopt);
    updateActivity();
}

void CharacterLayer::updateActivity()
{
    m_view->setActive(m_visibility->isVisible() && m_store.displaySummary().displayed > 0 &&
                      showsCharacter());
}

} // namespace velquist
