#pragma once
// For the window tests on the X11 platform: what the X server holds of a
// window (its pixels, the window it is transient for, its window types and
// states, its decorations, where it lies), read on a connection of the
// calling thread's own, so it also works while the GUI thread blocks; and
// the real message boxes of the programs, answered once the server shows
// them.
//
// A window that Qt reports exposed has been mapped, and its properties were
// sent before the map on the same connection: the server holds them then.
#include <xcb/xcb.h>
#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QRect>
#include <QTimer>
#include <QWindow>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/gui/QtPlatform.h"

namespace test_support {

class X11Server {
public:
    X11Server() : c_(xcb_connect(std::getenv("DISPLAY"), nullptr)) {}
    ~X11Server() { xcb_disconnect(c_); }
    X11Server(const X11Server&) = delete;
    X11Server& operator=(const X11Server&) = delete;

    bool Connected() const { return xcb_connection_has_error(c_) == 0; }

    // The pixels the server shows for a window; null when it cannot say.
    QImage Pixels(uint32_t window, int width, int height) {
        QImage image;
        xcb_get_image_cookie_t cookie = xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                                      static_cast<uint16_t>(width), static_cast<uint16_t>(height), ~0u);
        if (xcb_get_image_reply_t* reply = xcb_get_image_reply(c_, cookie, nullptr)) {
            // A depth-24 window holds 32 bits per pixel, blue first.
            if (xcb_get_image_data_length(reply) == width * height * 4)
                image = QImage(xcb_get_image_data(reply), width, height, width * 4, QImage::Format_RGB32).copy();
            std::free(reply);
        }
        return image;
    }

    // The window named by the window's WM_TRANSIENT_FOR; 0 when it has none.
    uint32_t TransientFor(uint32_t window) {
        const std::vector<uint32_t> values = Values(window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW);
        return values.empty() ? 0 : values[0];
    }

    // The names of the atoms an ATOM[] property holds (_NET_WM_WINDOW_TYPE,
    // _NET_WM_STATE); empty when the window has no such property.
    std::vector<std::string> AtomNames(uint32_t window, const char* property) {
        std::vector<std::string> names;
        for (uint32_t atom : Values(window, Atom(property), XCB_ATOM_ATOM)) names.push_back(AtomName(atom));
        return names;
    }

    // The 32-bit values of a property of any type (_MOTIF_WM_HINTS).
    std::vector<uint32_t> Words(uint32_t window, const char* property) {
        return Values(window, Atom(property), XCB_GET_PROPERTY_TYPE_ANY);
    }

    // The window's outer rectangle in root coordinates.
    QRect Geometry(uint32_t window) {
        QRect rect;
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window), nullptr);
        if (!g) return rect;
        if (xcb_translate_coordinates_reply_t* t =
                xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, window, g->root, 0, 0), nullptr)) {
            rect = QRect(t->dst_x, t->dst_y, g->width, g->height);
            std::free(t);
        }
        std::free(g);
        return rect;
    }

    // True when some client holds the pointer (or the keyboard): this
    // connection's own grab of it is refused. A granted grab is given back.
    bool PointerGrabbed() {
        xcb_grab_pointer_reply_t* r =
            xcb_grab_pointer_reply(c_,
                                   xcb_grab_pointer(c_, 0, Root(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                                                    XCB_NONE, XCB_NONE, XCB_CURRENT_TIME),
                                   nullptr);
        const bool refused = !r || r->status != XCB_GRAB_STATUS_SUCCESS;
        std::free(r);
        if (!refused) xcb_ungrab_pointer(c_, XCB_CURRENT_TIME);
        xcb_flush(c_);
        return refused;
    }
    bool KeyboardGrabbed() {
        xcb_grab_keyboard_reply_t* r = xcb_grab_keyboard_reply(
            c_, xcb_grab_keyboard(c_, 0, Root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
        const bool refused = !r || r->status != XCB_GRAB_STATUS_SUCCESS;
        std::free(r);
        if (!refused) xcb_ungrab_keyboard(c_, XCB_CURRENT_TIME);
        xcb_flush(c_);
        return refused;
    }

private:
    std::vector<uint32_t> Values(uint32_t window, xcb_atom_t property, xcb_atom_t type) {
        std::vector<uint32_t> values;
        xcb_get_property_reply_t* r =
            xcb_get_property_reply(c_, xcb_get_property(c_, 0, window, property, type, 0, 64), nullptr);
        if (!r) return values;
        if (r->format == 32) {
            const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(r));
            values.assign(data, data + xcb_get_property_value_length(r) / 4);
        }
        std::free(r);
        return values;
    }

    xcb_atom_t Atom(const char* name) {
        xcb_atom_t atom = XCB_ATOM_NONE;
        if (xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
                c_, xcb_intern_atom(c_, 1, static_cast<uint16_t>(std::string(name).size()), name), nullptr)) {
            atom = r->atom;
            std::free(r);
        }
        return atom;
    }

    std::string AtomName(xcb_atom_t atom) {
        std::string name;
        if (xcb_get_atom_name_reply_t* r = xcb_get_atom_name_reply(c_, xcb_get_atom_name(c_, atom), nullptr)) {
            name.assign(xcb_get_atom_name_name(r), static_cast<size_t>(xcb_get_atom_name_name_length(r)));
            std::free(r);
        }
        return name;
    }

    xcb_window_t Root() { return xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root; }

    xcb_connection_t* c_;
};

// The window Qt made on the X server for a widget's window.
inline uint32_t XWindowOf(QWidget* widget) { return static_cast<uint32_t>(widget->window()->winId()); }

// While alive, the programs' boxes are real QMessageBoxes again (the
// fixtures' interceptors answer them otherwise), and each one is answered
// once the server shows it: recorded, then closed with its Cancel button,
// else its No, else its Ok (the answer that changes least).
class RealBoxes {
public:
    RealBoxes() : intercepting_(platform::SetMessageBoxHandler(nullptr)) {
        platform::InstallQtPlatform();
        poll_.setInterval(5);
        QObject::connect(&poll_, &QTimer::timeout, [this] { AnswerShownBox(); });
        poll_.start();
    }
    ~RealBoxes() { platform::SetMessageBoxHandler(intercepting_); }
    RealBoxes(const RealBoxes&) = delete;
    RealBoxes& operator=(const RealBoxes&) = delete;

    // Each box shown, in order: its text and the window it was transient
    // for on the server (0: none).
    using Shown = std::vector<std::pair<std::string, uint32_t>>;
    const Shown& TextsAndOwners() const { return shown_; }

private:
    void AnswerShownBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->windowHandle() || !box->windowHandle()->isExposed()) return;
        shown_.emplace_back(box->text().toStdString(), server_.TransientFor(XWindowOf(box)));
        for (auto button : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok}) {
            if (QAbstractButton* b = box->button(button)) {
                b->click();
                return;
            }
        }
        box->reject();
    }

    platform::MessageBoxHandler intercepting_;
    X11Server server_;
    QTimer poll_;
    Shown shown_;
};

}  // namespace test_support
