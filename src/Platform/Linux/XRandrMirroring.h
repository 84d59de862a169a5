#pragma once

#include "Platform/DisplayMirroring.h"
#include "Platform/Linux/XcbLink.h"

#include <QObject>
#include <memory>
#include <string>
#include <vector>

namespace velquist {

// Display mirroring read from XRandR: two lit outputs showing one CRTC, or two CRTCs placed at the
// same position of the screen. Queries run on a worker over a connection of their own; changes are
// heard from Qt's screen notices.
class XRandrMirroring final : public DisplayMirroring
{
  public:
    // One lit output: the CRTC that feeds it and the rectangle of the screen it shows.
    struct Output
    {
        std::uint32_t crtc = 0;
        int x = 0;
        int y = 0;
        unsigned width = 0;
        unsigned height = 0;
    };

    // `display` as in DISPLAY; empty means there is no X server to ask.
    explicit XRandrMirroring(std::string display);

    bool canDetectMirroring() const override;
    void queryMirroring(QObject* context, Answer done) override;
    void observeDisplayChanges(QObject* context, std::function<void()> changed) override;

    // The decision on lit outputs: none when there are none (nothing to judge).
    static std::optional<bool> isMirrored(const std::vector<Output>& outputs);
    // The lit outputs now, read on the calling thread; none when the server cannot be asked.
    std::optional<std::vector<Output>> readOutputs();

  private:
    static std::optional<std::vector<Output>> readOutputs(XcbLink& link);
    static std::optional<std::vector<Output>> readOutputsOn(xcb_connection_t* connection, std::uint32_t root);

    const std::shared_ptr<XcbLink> m_link;
};

} // namespace velquist
