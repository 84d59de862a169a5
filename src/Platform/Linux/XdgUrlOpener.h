#pragma once

#include "Platform/UrlOpener.h"

namespace velquist {

class ProcessRunner;

// Opens URLs with `xdg-open`, which asks the desktop's handler for the scheme; its exit status
// says whether a handler took the URL.
class XdgUrlOpener final : public UrlOpener
{
  public:
    // `executable`: the xdg-open to run (tests hand in a stand-in).
    explicit XdgUrlOpener(ProcessRunner& runner, std::string executable = "/usr/bin/xdg-open");

    bool canOpenUrls() const override;
    void open(const std::string& url, QObject* context, std::function<void(bool)> done) override;

  private:
    ProcessRunner& m_runner;
    const std::string m_executable;
};

} // namespace velquist
