#pragma once

#include <QObject>
#include <functional>
#include <string>

namespace velquist {

// Hands a URL to the desktop, which opens it with the application registered for its scheme.
class UrlOpener
{
  public:
    virtual ~UrlOpener() = default;

    // Whether the desktop can open URLs at all.
    virtual bool canOpenUrls() const = 0;
    // Opens `url` off the calling thread; `done` gets whether the desktop took it, on the calling
    // thread, unless `context` has gone.
    virtual void open(const std::string& url, QObject* context, std::function<void(bool)> done) = 0;
};

} // namespace velquist
