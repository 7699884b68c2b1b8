#include "X11DirectSave.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>
#include <qguiapplication_platform.h>
#include <xcb/xcb.h>

std::unique_ptr<CX11DirectSave> CX11DirectSave::Create()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    return std::make_unique<CX11DirectSave>(x11->connection());
}

CX11DirectSave::CX11DirectSave(xcb_connection_t* connection) : m_connection(connection) {}

std::uint32_t CX11DirectSave::Atom(const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    if (!reply)
        return 0;
    const std::uint32_t atom = reply->atom;
    std::free(reply);
    return atom;
}

bool CX11DirectSave::Begin(const QByteArray& name)
{
    End();
    const std::uint32_t selection = Atom("XdndSelection");
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, selection), nullptr);
    if (!owner)
        return false;
    m_window = owner->owner;
    std::free(owner);
    m_property = Atom("XdndDirectSave0");
    if (!m_window || !m_property)
        return false;
    // Some targets read the name as a C string: it ends with a NUL.
    QByteArray value = name;
    value.append('\0');
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, m_property, Atom("text/plain"), 8,
                        static_cast<std::uint32_t>(value.size()), value.constData());
    xcb_flush(m_connection);
    return true;
}

QByteArray CX11DirectSave::Read()
{
    if (!m_window)
        return {};
    // A destination URI fits in 64 KiB; anything longer is not one.
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, 65536 / 4),
        nullptr);
    if (!reply)
        return {};
    QByteArray value;
    if (reply->format == 8)
        value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                           xcb_get_property_value_length(reply));
    std::free(reply);
    return value;
}

void CX11DirectSave::End()
{
    if (!m_window)
        return;
    xcb_delete_property(m_connection, m_window, m_property);
    xcb_flush(m_connection);
    m_window = 0;
}
