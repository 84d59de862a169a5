#pragma once

#include "Platform/PointerSource.h"

#include <memory>
#include <string>

class QSocketNotifier;

namespace velquist {

class XcbConnection;

// The pointer of an X desktop. While someone holds an interest, XInput2 raw motion and button
// events are selected on the root window (they arrive whichever window is under the pointer,
// without grabbing anything); the position itself is read from the server once per burst. With
// no interest the selection is dropped, so the server sends nothing. A pointer moved by a program
// (a warp) makes no raw motion and is not reported; what a device does always is. Main thread only.
class LinuxPointerSource final : public PointerSource
{
    Q_OBJECT

  public:
    // `display` as in DISPLAY; empty reports every facility unavailable.
    explicit LinuxPointerSource(std::string display, QObject* parent = nullptr);
    ~LinuxPointerSource() override;

    bool canTrackPosition() const override;
    bool canWatchPointer() const override;
    std::optional<QPoint> position() const override;
    void acquire() override;
    void release() override;

  private:
    bool connectToServer();
    void select(bool watching);
    void readEvents();
    std::optional<QPoint> queryPosition() const;

    const std::unique_ptr<XcbConnection> m_connection;
    QSocketNotifier* m_notifier = nullptr;
    std::uint8_t m_inputOpcode = 0;
    bool m_hasRawEvents = false;
    int m_interest = 0;
};

} // namespace velquist
