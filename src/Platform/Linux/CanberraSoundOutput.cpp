#include "Platform/Linux/CanberraSoundOutput.h"

#include "Shared/Log.h"

#include <canberra.h>
#include <cmath>
#include <cstdio>

namespace velquist {

CanberraSoundOutput::CanberraSoundOutput()
{
    m_thread.setMaxThreadCount(1);
    ca_context* context = nullptr;
    if (ca_context_create(&context) == CA_SUCCESS) {
        ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Velquist", CA_PROP_APPLICATION_ID,
                                "velquist", nullptr);
        m_context = context;
    }
}

CanberraSoundOutput::~CanberraSoundOutput()
{
    m_thread.waitForDone();
    if (m_context)
        ca_context_destroy(m_context);
}

bool CanberraSoundOutput::canPlaySounds() const
{
    return m_context != nullptr;
}

double CanberraSoundOutput::decibels(double volume)
{
    return 20.0 * std::log10(volume);
}

void CanberraSoundOutput::play(const std::string& channel, const std::filesystem::path& file, double volume)
{
    if (!m_context || !(volume > 0.0))
        return;
    m_thread.start([this, channel, file, volume] { playNow(channel, file, volume); });
}

void CanberraSoundOutput::waitForQueue()
{
    m_thread.waitForDone();
}

void CanberraSoundOutput::playNow(const std::string& channel, const std::filesystem::path& file,
                                  double volume)
{
    std::uint32_t id = 0;
    {
        std::lock_guard lock(m_mutex);
        auto [entry, added] = m_channels.try_emplace(channel, m_nextId);
        if (added)
            ++m_nextId;
        id = entry->second;
    }
    ca_context_cancel(m_context, id);
    char level[32];
    std::snprintf(level, sizeof level, "%.2f", decibels(std::min(volume, 1.0)));
    const int result =
        ca_context_play(m_context, id, CA_PROP_MEDIA_FILENAME, file.c_str(), CA_PROP_CANBERRA_VOLUME, level,
                        CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr);
    if (result != CA_SUCCESS)
        Log::debug("sound", "could not play " + file.string() + ": " + ca_strerror(result));
}

} // namespace velquist
