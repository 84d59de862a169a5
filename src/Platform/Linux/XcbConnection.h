#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>
#include <xcb/xcb.h>

namespace velquist {

// One connection to an X server with the little that the window code asks of it: named atoms and
// property reads. xcb rather than Xlib because Xlib's default error handler ends the process when a
// window goes away during a query; here a vanished window is just an empty answer. Not
// thread-safe: its owner serialises calls.
class XcbConnection
{
  public:
    // `display` as in DISPLAY; empty means there is no X server to ask.
    explicit XcbConnection(std::string display);
    ~XcbConnection();
    XcbConnection(const XcbConnection&) = delete;
    XcbConnection& operator=(const XcbConnection&) = delete;

    // Connects (again) when needed; false when the server cannot be reached.
    bool ensure();
    bool isConnected() const;
    xcb_connection_t* get() const { return m_connection; }
    // The root windows, one per screen; the first is the default screen's.
    const std::vector<xcb_window_t>& roots() const { return m_roots; }

    // The atom of `name`, interned once per connection; XCB_ATOM_NONE when the server refuses.
    xcb_atom_t atom(const std::string& name);

    struct Property
    {
        xcb_atom_t type = XCB_ATOM_NONE;
        std::uint8_t format = 0;
        std::string bytes;
        // More was there than was asked for.
        bool truncated = false;
    };
    // Starts a property read of at most `maxBytes`; `take` waits for it. Splitting the two lets
    // callers send every request before waiting for the first answer.
    xcb_get_property_cookie_t ask(xcb_window_t window, xcb_atom_t property, std::uint32_t maxBytes);
    std::optional<Property> take(xcb_get_property_cookie_t cookie);
    // A property of 32-bit values (windows, atoms, cardinals); empty when absent or of another form.
    static std::vector<std::uint32_t> values32(const std::optional<Property>& property);

  private:
    void disconnect();

    const std::string m_display;
    xcb_connection_t* m_connection = nullptr;
    std::vector<xcb_window_t> m_roots;
    std::map<std::string, xcb_atom_t> m_atoms;
};

} // namespace velquist
