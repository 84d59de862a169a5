#pragma once

#include "Characters/IntroCard.h"

#include <string>
#include <vector>

namespace velquist::test {

// What happened to the cards a factory made, in order: "create <title> on <x>,<y>", "refresh
// <title>", "aside", "close". Outlives the cards, which report into it.
struct IntroCardLog
{
    std::vector<std::string> events;
    IntroCardCallbacks callbacks;
    IntroStepContent shown;
    int live = 0;
};

class RecordingIntroCard final : public IntroCard
{
  public:
    explicit RecordingIntroCard(IntroCardLog& log) : m_log(log) { ++m_log.live; }
    ~RecordingIntroCard() override { --m_log.live; }
    void refresh(const IntroStepContent& content) override
    {
        m_log.shown = content;
        m_log.events.push_back("refresh " + content.title);
    }
    void stepAside() override { m_log.events.push_back("aside"); }
    void close() override { m_log.events.push_back("close"); }

  private:
    IntroCardLog& m_log;
};

class RecordingIntroCardFactory final : public IntroCardFactory
{
  public:
    std::unique_ptr<IntroCard> create(const QRect& screen, const IntroStepContent& content,
                                      IntroCardCallbacks callbacks) override
    {
        log.shown = content;
        log.callbacks = std::move(callbacks);
        log.events.push_back("create " + content.title + " on " + std::to_string(screen.x()) + "," +
                             std::to_string(screen.y()));
        return std::make_unique<RecordingIntroCard>(log);
    }

    IntroCardLog log;
};

} // namespace velquist::test
