#pragma once

#include "Platform/PointerSource.h"
#include "Platform/ScreenProvider.h"
#include "UI/NotchGeometry.h"
#include "Windows/PanelServices.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <memory>
#include <string>
#include <vector>

class QScreen;

namespace velquist {

class NotchContainerView;
class NotchPanel;
class NotchViewModel;

// One attached screen's notch panel: its window at the top centre of the screen, its view model and
// content, and whether the pointer is over the visible notch, which it tells the model as hovering.
// The window manager creates it, shows and hides its panel, and destroys it when the screens
// change; destroying it closes the panel and drops its interest in the pointer. Main thread.
class NotchScreenController final : public QObject
{
    Q_OBJECT
  public:
    // Height of the panel window; the notch grows and shrinks inside it.
    static constexpr int kPanelHeight = 600;
    // Room beside the open notch for its shadow.
    static constexpr int kPanelMargin = 80;

    // `attached` is every screen, in the desktop's order (the geometry may borrow from another).
    // The panel is on screen when this returns.
    NotchScreenController(const ScreenInfo& screen, const std::vector<ScreenInfo>& attached,
                          PanelServices& services, QObject* parent = nullptr);
    ~NotchScreenController() override;

    NotchPanel& panel() const { return *m_panel; }
    NotchViewModel& model() const { return *m_model; }
    NotchContainerView& content() const { return *m_content; }
    const NotchGeometry& geometry() const { return m_geometry; }
    QRect screenFrame() const { return m_screenFrame; }
    const std::string& screenID() const { return m_screenID; }
    bool isBuiltIn() const { return m_isBuiltIn; }
    bool pointerInside() const { return m_pointerInside; }

    // The notch as drawn, in desktop coordinates: the hover area and the only part taking clicks.
    QRect visibleRect() const;
    // The panel window's frame: the open notch's width plus a margin, hanging from the top edge.
    static QRect panelFrame(const NotchGeometry& geometry, const QRect& screenFrame);
    // The desktop's screen that `screen` describes, by name and geometry: separate X screens each
    // start at 0,0, so a position alone would put every panel on the first. None when none matches.
    static QScreen* qtScreenFor(const ScreenInfo& screen, const QList<QScreen*>& candidates);
    // Holds the panel expanded or lets it go.
    void setHoldOpen(bool on);
    // Tests the pointer against the visible notch again (after the panel was shown or hidden).
    void syncPointer();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void checkPointer(std::optional<QPoint> position);
    void updateShape();

    PanelServices& m_services;
    const NotchGeometry m_geometry;
    const QRect m_screenFrame;
    const std::string m_screenID;
    const bool m_isBuiltIn;
    bool m_pointerInside = false;
    std::unique_ptr<NotchViewModel> m_model;
    std::unique_ptr<NotchPanel> m_panel;
    NotchContainerView* m_content = nullptr;
    PointerSource::Interest m_pointerInterest;
};

} // namespace velquist
