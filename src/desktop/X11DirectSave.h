#pragma once
#include "IDirectSaveWindow.h"

#include <cstdint>
#include <memory>

struct xcb_connection_t;

// X Direct Save on the X server the program runs on: the drag's source window
// is the owner of the XdndSelection selection while a drag runs.
class CX11DirectSave : public IDirectSaveWindow
{
public:
    // None when the program does not run on X11 (Wayland, offscreen).
    static std::unique_ptr<CX11DirectSave> Create();
    explicit CX11DirectSave(xcb_connection_t* connection);

    bool Begin(const QByteArray& name) override;
    QByteArray Read() override;
    void End() override;
    // The window the property is on; 0 before Begin.
    std::uint32_t Window() const { return m_window; }

private:
    std::uint32_t Atom(const char* name);

    xcb_connection_t* m_connection;
    std::uint32_t m_window = 0;
    std::uint32_t m_property = 0;
};
