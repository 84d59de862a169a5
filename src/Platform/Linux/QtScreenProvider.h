#pragma once

#include "Platform/ScreenProvider.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QScreen;

namespace velquist {

// Screens as the Qt platform plugin reports them. Linux screens have no camera housing, so every
// screen reports no safe-area inset and no top areas.
class QtScreenProvider final : public QObject, public ScreenProvider
{
    Q_OBJECT
  public:
    explicit QtScreenProvider(QObject* parent = nullptr);

    std::vector<ScreenInfo> screens() const override;
    bool canReportNotch() const override { return false; }
    void setChangeHandler(std::function<void()> handler) override;

    static ScreenInfo describe(const QScreen& screen);
    // The screen's connector name, with the number of its X screen where a screen of another X
    // screen has the same name.
    static QString connectorOf(const QScreen& screen, const QList<QScreen*>& all);

  private:
    void watch(QScreen* screen);
    void notify();

    std::function<void()> m_handler;
};

} // namespace velquist
