#include "Platform/Linux/XRandrMirroring.h"

#include "Platform/WorkerTask.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstdlib>
#include <set>
#include <utility>
#include <xcb/randr.h>
#include <xcb/xcb.h>

namespace velquist {

XRandrMirroring::XRandrMirroring(std::string display) : m_link(std::make_shared<XcbLink>(std::move(display)))
{
}

bool XRandrMirroring::canDetectMirroring() const
{
    return !m_link->hasFailed();
}

std::optional<bool> XRandrMirroring::isMirrored(const std::vector<Output>& outputs)
{
    if (outputs.empty())
        return std::nullopt;
    // Outputs placed at one position show the same picture even when their modes differ in size
    // ("same as" with a projector of another resolution); displays side by side never share one.
    std::set<std::uint32_t> crtcs;
    std::set<std::pair<int, int>> origins;
    for (const Output& output : outputs) {
        if (!crtcs.insert(output.crtc).second)
            return true;
        if (!origins.insert({output.x, output.y}).second)
            return true;
    }
    return false;
}

void XRandrMirroring::queryMirroring(QObject* context, Answer done)
{
    if (m_link->hasFailed()) {
        done(std::nullopt);
        return;
    }
    runOnWorker<std::optional<bool>>(
        context,
        [link = m_link]() -> std::optional<bool> {
            const auto outputs = readOutputs(*link);
            return outputs ? isMirrored(*outputs) : std::nullopt;
        },
        std::move(done));
}

void XRandrMirroring::observeDisplayChanges(QObject* context, std::function<void()> changed)
{
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app)
        return;
    auto follow = [context, changed](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, context, [changed] { changed(); });
    };
    for (QScreen* screen : QGuiApplication::screens())
        follow(screen);
    QObject::connect(app, &QGuiApplication::screenAdded, context, [follow, changed](QScreen* screen) {
        follow(screen);
        changed();
    });
    QObject::connect(app, &QGuiApplication::screenRemoved, context, [changed] { changed(); });
}

std::optional<std::vector<XRandrMirroring::Output>> XRandrMirroring::readOutputs()
{
    return readOutputs(*m_link);
}

std::optional<std::vector<XRandrMirroring::Output>> XRandrMirroring::readOutputs(XcbLink& link)
{
    return link.query(readOutputsOn);
}

std::optional<std::vector<XRandrMirroring::Output>>
XRandrMirroring::readOutputsOn(xcb_connection_t* connection, xcb_window_t root)
{
    xcb_generic_error_t* error = nullptr;
    // The "current" form reads what the server knows without probing the hardware.
    auto* resources = xcb_randr_get_screen_resources_current_reply(
        connection, xcb_randr_get_screen_resources_current(connection, root), &error);
    std::free(error);
    if (!resources)
        return std::nullopt;
    const xcb_randr_output_t* ids = xcb_randr_get_screen_resources_current_outputs(resources);
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources);
    const xcb_timestamp_t stamp = resources->config_timestamp;
    std::vector<xcb_randr_get_output_info_cookie_t> cookies;
    for (int i = 0; i < count; ++i)
        cookies.push_back(xcb_randr_get_output_info(connection, ids[i], stamp));
    std::free(resources);

    std::vector<Output> outputs;
    bool complete = true;
    for (const auto& cookie : cookies) {
        error = nullptr;
        auto* info = xcb_randr_get_output_info_reply(connection, cookie, &error);
        std::free(error);
        if (!info) {
            complete = false;
            continue;
        }
        if (info->connection == XCB_RANDR_CONNECTION_CONNECTED && info->crtc != XCB_NONE)
            outputs.push_back(Output{info->crtc});
        std::free(info);
    }
    for (Output& output : outputs) {
        error = nullptr;
        auto* crtc = xcb_randr_get_crtc_info_reply(
            connection, xcb_randr_get_crtc_info(connection, output.crtc, stamp), &error);
        std::free(error);
        if (!crtc) {
            complete = false;
            continue;
        }
        output.x = crtc->x;
        output.y = crtc->y;
        output.width = crtc->width;
        output.height = crtc->height;
        std::free(crtc);
    }
    if (!complete)
        return std::nullopt;
    return outputs;
}

} // namespace velquist
