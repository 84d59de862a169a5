#pragma once

#include "Platform/PanelShaper.h"

#include <memory>
#include <xcb/xcb.h>

namespace velquist {

// Panels on an X server, through Qt's own xcb connection: the input shape (Shape extension) and the
// compositing manager's selection (_NET_WM_CM_Sn), and the colour map of cut windows. Made only where Qt runs
// on "xcb"; elsewhere `create` gives the unavailable form. Main thread.
class XcbPanelShaper final : public PanelShaper
{
  public:
    // The shaper for the running Qt platform.
    static std::unique_ptr<PanelShaper> create();

    bool canShapeInput() const override { return m_hasShape; }
    bool drawsTranslucency() const override;
    void setInputRegion(QWindow& window, const QRegion& region) override;
    void prepareCutWindow(QWindow& window) override;

  private:
    XcbPanelShaper(xcb_connection_t* connection, int screen);

    xcb_connection_t* m_connection;
    int m_screen;
    bool m_hasShape = false;
};

} // namespace velquist
