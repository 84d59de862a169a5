#pragma once

class QMenu;
class QWidget;

namespace velquist {

struct Session;
class SessionStore;

// The menu a session's card opens on a right click: hide the sessions in its folder, or those
// starting with the same prompt. Each item adds an enabled prefix rule to the store's silence
// rules.
namespace SilenceMenu {

// A new menu for `session`, owned by `parent`; the store must outlive it.
QMenu* make(const Session& session, SessionStore& store, QWidget* parent);

} // namespace SilenceMenu
} // namespace velquist
