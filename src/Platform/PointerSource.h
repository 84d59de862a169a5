#pragma once

#include <QObject>
#include <QPoint>
#include <Qt>
#include <optional>

namespace velquist {

// The pointer anywhere on the desktop, shared by every view that tracks hovering or clicks outside
// its own windows. Nothing is watched until someone holds an interest, so an idle desktop costs
// nothing. Positions are in the server's pixels, as `WindowInfo::frame` is.
class PointerSource : public QObject
{
    Q_OBJECT

  public:
    using QObject::QObject;
    ~PointerSource() override = default;

    // Whether `position()` can answer.
    virtual bool canTrackPosition() const = 0;
    // Whether `moved` and `buttonPressed` are emitted while someone holds an interest.
    virtual bool canWatchPointer() const = 0;

    // Where the pointer is now; none when it cannot be told.
    virtual std::optional<QPoint> position() const = 0;
    // One more user wants `moved` and `buttonPressed`; calls nest, each `release` ends one.
    virtual void acquire() = 0;
    virtual void release() = 0;

    // Holds an interest for its lifetime.
    class Interest
    {
      public:
        explicit Interest(PointerSource& source) : m_source(&source) { m_source->acquire(); }
        ~Interest() { m_source->release(); }
        Interest(const Interest&) = delete;
        Interest& operator=(const Interest&) = delete;

      private:
        PointerSource* m_source;
    };

  Q_SIGNALS:
    // The pointer moved (bursts of motion arrive as one report).
    void moved(QPoint position);
    // A button went down anywhere; wheel turns are not presses.
    void buttonPressed(QPoint position, Qt::MouseButton button);
};

} // namespace velquist
