#include "Core/SessionCardList.h"

#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"

#include <unordered_set>

namespace velquist {
namespace {

// Past this many changed ids the list stops noting them and looks at every card on its next
// update.
constexpr std::size_t kMostNotedChanges = 256;

} // namespace

SessionCardList::SessionCardList(SessionStore& store, QObject* parent) : QObject(parent), m_store(store)
{
    // The store announces rule and reveal changes as changes of every session.
    connect(&m_store, &SessionStore::sessionsTouched, this, &SessionCardList::note);
}

SessionCardList::~SessionCardList() = default;

void SessionCardList::attach(const void* view)
{
    m_reader = view;
    // The new reader starts with no rows: every card comes to it anew.
    m_cards.clear();
    m_order.clear();
    m_dirtyAll = true;
    m_dirty.clear();
}

void SessionCardList::note(const SessionChange& change)
{
    if (change.all || m_dirty.size() + change.ids.size() > kMostNotedChanges) {
        m_dirtyAll = true;
        m_dirty.clear();
    } else if (!m_dirtyAll) {
        m_dirty.insert(change.ids.begin(), change.ids.end());
    }
    Q_EMIT changed();
}

SessionCardList::Update SessionCardList::update()
{
    Update update;
    const std::vector<const Session*> sessions = m_store.displayOrder();
    std::vector<std::string> order;
    order.reserve(sessions.size());
    for (const Session* session : sessions)
        order.push_back(session->id);

    if (order != m_order) {
        update.reordered = true;
        if (m_cards.size() > 0) {
            const std::unordered_set<std::string> wanted(order.begin(), order.end());
            for (auto it = m_cards.begin(); it != m_cards.end();) {
                if (wanted.contains(it->first)) {
                    ++it;
                    continue;
                }
                update.removed.push_back(it->first);
                it = m_cards.erase(it);
            }
        }
    }
    for (const Session* session : sessions) {
        auto found = m_cards.find(session->id);
        if (found == m_cards.end()) {
            m_cards.emplace(session->id, SessionCard::of(*session));
            update.changed.push_back(session->id);
        } else if (m_dirtyAll || m_dirty.contains(session->id)) {
            if (found->second.session == *session)
                continue;
            found->second = SessionCard::of(*session);
            update.changed.push_back(session->id);
        }
    }
    m_order = std::move(order);
    m_dirty.clear();
    m_dirtyAll = false;
    return update;
}

const SessionCard* SessionCardList::card(const std::string& id) const
{
    const auto found = m_cards.find(id);
    return found == m_cards.end() ? nullptr : &found->second;
}

int SessionCardList::hiddenCount() const
{
    return m_store.hiddenCount();
}

bool SessionCardList::revealsHidden() const
{
    return m_store.silence().revealsHidden();
}

void SessionCardList::setRevealsHidden(bool reveals)
{
    m_store.silence().setRevealsHidden(reveals);
}

bool SessionCardList::isEmpty() const
{
    return m_order.empty() && hiddenCount() < 1;
}

} // namespace velquist
