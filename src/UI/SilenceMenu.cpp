#include "UI/SilenceMenu.h"

#include "Core/SessionCardText.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "UI/Kit/MenuStyle.h"

#include <QMenu>
#include <QUuid>

namespace velquist::SilenceMenu {

QMenu* make(const Session& session, SessionStore& store, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    MenuStyle::apply(*menu);
    SessionStore* rules = &store;
    // A new enabled custom rule that hides sessions whose field begins with `pattern`.
    const auto hideStartingWith = [rules](SilenceRule::Field field, std::string pattern) {
        return [rules, field, pattern = std::move(pattern)] {
            SilenceRule rule;
            rule.id = QUuid::createUuid();
            rule.field = field;
            rule.match = SilenceRule::Match::prefix;
            rule.pattern = pattern;
            rules->silence().add(rule);
        };
    };
    menu->addAction(QStringLiteral("Hide sessions in this folder"), menu,
                    hideStartingWith(SilenceRule::Field::directory, session.cwd));
    if (const auto seed = SessionCardText::promptSeed(session.firstPrompt))
        menu->addAction(SessionCardText::promptMenuTitle(*seed), menu,
                        hideStartingWith(SilenceRule::Field::prompt, *seed));
    return menu;
}

} // namespace velquist::SilenceMenu
