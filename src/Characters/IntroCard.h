#pragma once

#include "Characters/IntroStepContent.h"

#include <QRect>
#include <functional>
#include <memory>

namespace velquist {

// What the tour's card calls back: its four buttons.
struct IntroCardCallbacks
{
    std::function<void()> onPrimary;
    std::function<void()> onSecondary;
    std::function<void()> onBack;
    std::function<void()> onSkip;
};

// The floating card that carries the tour's words and buttons, as the director drives it.
class IntroCard
{
  public:
    virtual ~IntroCard() = default;
    // Shows another step's content, keeping the card's top edge where it is.
    virtual void refresh(const IntroStepContent& content) = 0;
    // Moves aside to the screen's left edge, so what the step asks for stays visible.
    virtual void stepAside() = 0;
    // Fades the card out; it goes away by itself afterwards, even when this object is dropped.
    virtual void close() = 0;
};

// Makes the card on a screen (its whole geometry); it shows itself.
class IntroCardFactory
{
  public:
    virtual ~IntroCardFactory() = default;
    virtual std::unique_ptr<IntroCard> create(const QRect& screen, const IntroStepContent& content,
                                              IntroCardCallbacks callbacks) = 0;
};

} // namespace velquist
