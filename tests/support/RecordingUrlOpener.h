#pragma once

#include "Platform/UrlOpener.h"

#include <vector>

namespace velquist::test {

// Notes every URL it is asked to open and answers with what the test set.
class RecordingUrlOpener final : public UrlOpener
{
  public:
    void setOpens(bool opens) { m_opens = opens; }
    const std::vector<std::string>& opened() const { return m_opened; }

    bool canOpenUrls() const override { return m_opens; }
    void open(const std::string& url, QObject*, std::function<void(bool)> done) override
    {
        m_opened.push_back(url);
        done(m_opens);
    }

  private:
    std::vector<std::string> m_opened;
    bool m_opens = true;
};

} // namespace velquist::test
