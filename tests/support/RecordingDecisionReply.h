#pragma once

#include "Ingestion/DecisionReply.h"

#include <optional>
#include <string>
#include <vector>

namespace velquist::test {

// A held request whose sender the test plays: it notes what it was sent or whether it was closed,
// refuses a reply when told to, and hangs up on demand.
class RecordingDecisionReply final : public DecisionReply
{
  public:
    explicit RecordingDecisionReply(HookEvent event) : m_event(std::move(event)) {}

    const HookEvent& event() const override { return m_event; }
    bool isOpen() const override { return m_open; }
    bool send(std::string_view reply) override
    {
        if (!m_open)
            return false;
        m_open = false;
        replies.emplace_back(reply);
        return takesReplies;
    }
    void close() override
    {
        if (m_open)
            closes += 1;
        m_open = false;
    }
    void setOnHangUp(std::function<void()> onHangUp) override { m_onHangUp = std::move(onHangUp); }

    // The sender goes away while waiting.
    void hangUp()
    {
        if (!m_open)
            return;
        m_open = false;
        if (auto onHangUp = m_onHangUp)
            onHangUp();
    }

    bool takesReplies = true;
    std::vector<std::string> replies;
    int closes = 0;

  private:
    HookEvent m_event;
    bool m_open = true;
    std::function<void()> m_onHangUp;
};

} // namespace velquist::test
