#pragma once

#include "Core/Session.h"
#include "Platform/Clock.h"
#include "Usage/UsageReading.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace velquist {

class SessionStore;

namespace render {

// What every render function is given: a store filled with the demonstration sessions at a fixed
// moment, and a demonstration usage reading.
struct RenderContext
{
    SessionStore& store;
    const Clock& clock;                                     // always answers the same moment
    std::vector<Session> sessions;                          // the store's displayed sessions, in panel order
    UsageReading usage;                                     // usage on, three windows of a Claude account
    const Session& find(const std::string& idPrefix) const; // the first session whose id starts so
};

// Collects the pictures of one view; each becomes "<view>-<state>.png".
class RenderSink
{
  public:
    virtual ~RenderSink() = default;
    // `widget` at `size` (its size hint when empty), over the panel's dark backdrop.
    virtual void widget(const QString& state, QWidget& widget, QSize size = {}) = 0;
    // `paint` called on a transparent canvas of `size` points, over the panel's dark backdrop.
    virtual void painted(const QString& state, QSize size,
                         const std::function<void(class QPainter&)>& paint) = 0;
    // The colour behind later pictures of this view (the panel's dark backdrop until set), for
    // views that draw their own outline, such as the whole body under a desktop.
    virtual void setBackdrop(const QColor& colour) = 0;
};

using RenderFunction = std::function<void(const RenderContext&, RenderSink&)>;

struct Registered
{
    QString view;
    RenderFunction render;
};

// Every registered view, in registration order.
std::vector<Registered>& registry();

// Registers a view's renders from a file-scope object:
//   static const render::RenderRegistration marks("agent-marks", [](auto& context, auto& sink) {...});
struct RenderRegistration
{
    RenderRegistration(const QString& view, RenderFunction render);
};

} // namespace render
} // namespace velquist
