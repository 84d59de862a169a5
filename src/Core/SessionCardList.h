#pragma once

#include "Core/SessionCard.h"

#include <QObject>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace velquist {

class SessionStore;
struct SessionChange;

// The open panel's list as values: a card per displayed session, in the store's display order,
// and what its footer says (how many sessions the silence rules hide and whether they are shown).
// It notes which sessions the store touched and takes them in only when its view asks, so a list
// nobody looks at costs a note per change. One view reads it at a time: the last to attach.
// Main thread.
class SessionCardList final : public QObject
{
    Q_OBJECT
  public:
    explicit SessionCardList(SessionStore& store, QObject* parent = nullptr);
    ~SessionCardList() override;

    // What one update changed.
    struct Update
    {
        // Cards that came or whose value changed, in display order.
        std::vector<std::string> changed;
        // Cards that went.
        std::vector<std::string> removed;
        bool reordered = false;
    };

    // Makes `view` the one reader; its first update tells every card as changed.
    void attach(const void* view);
    bool isReader(const void* view) const { return view && view == m_reader; }
    // Takes in what the store changed since the last update.
    Update update();
    // Whether the store changed since the last update.
    bool hasPending() const { return m_dirtyAll || !m_dirty.empty(); }

    // The cards' ids in display order, and one card; as of the last update.
    const std::vector<std::string>& order() const { return m_order; }
    const SessionCard* card(const std::string& id) const;

    // How many live sessions the silence rules hide, and whether the list shows them anyway.
    int hiddenCount() const;
    bool revealsHidden() const;
    void setRevealsHidden(bool reveals);
    // Nothing to list and nothing hidden.
    bool isEmpty() const;

  Q_SIGNALS:
    // The store changed since the last update.
    void changed();

  private:
    void note(const SessionChange& change);

    SessionStore& m_store;
    const void* m_reader = nullptr;
    std::map<std::string, SessionCard> m_cards;
    std::vector<std::string> m_order;
    std::set<std::string> m_dirty;
    bool m_dirtyAll = true;
};

} // namespace velquist
