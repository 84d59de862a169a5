#pragma once

#include "Characters/CharacterMood.h"
#include "Core/Scheduler.h"
#include "Platform/Clock.h"

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

namespace velquist {

class CharacterCatalog;
class CharacterDirector;
class CharacterView;
class PanelVisibility;
class SessionStore;
class UserDefaults;
struct Session;

// What the collapsed bar puts in its right wing: the character the user chose, in the mood of
// the displayed sessions. It owns the mood director and feeds it the store's changes, follows
// "selectedCharacterId" at once, and animates only while its panel can be seen and some session
// is displayed; otherwise it sets no timer. For "none" it draws nothing but keeps its place. The
// store's changes are taken in at most once a frame.
class CharacterLayer final : public QWidget
{
    Q_OBJECT
  public:
    CharacterLayer(SessionStore& store, UserDefaults& defaults, const CharacterCatalog& catalog, Clock& clock,
                   Scheduler& scheduler, int height, QWidget* parent = nullptr);
    ~CharacterLayer() override;

    // The side of the character's square: the bar's height.
    void setHeight(int height);
    int height() const { return m_height; }

    CharacterMood mood() const;
    // Whether a pack is shown ("none", "usage" and an empty catalog show none).
    bool showsCharacter() const;
    bool isPanelVisible() const;
    const CharacterView& view() const { return *m_view; }
    const CharacterDirector& director() const { return *m_director; }

    QSize sizeHint() const override { return {m_height, m_height}; }

    // How long the store's changes gather before the layer takes them in.
    static constexpr std::chrono::milliseconds kFrame{16};

  private:
    void onSessionsChanged();
    void takeInSessions();
    void resolveCharacter();
    void updateActivity();

    SessionStore& m_store;
    UserDefaults& m_defaults;
    const CharacterCatalog& m_catalog;
    int m_height;
    CharacterDirector* m_director;
    CharacterView* m_view;
    PanelVisibility* m_visibility;
    Scheduler& m_scheduler;
    ScheduledTimer m_frame;
    int m_defaultsObserver = 0;
};

} // namespace velquist
