// A pointer device of our own for a Wayland compositor that has none (a
// headless one): it joins the seat through the compositor's virtual pointer
// protocol and reads commands, one a line, from its standard input:
//   move X Y     the pointer to (X, Y) of the layout
//   press        the left button down
//   release      the left button up
// and writes "done" once the compositor has handled each. The layout's size
// is given on the command line:  virtual-pointer WIDTH HEIGHT
#include <wayland-client.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {
// The protocol's interfaces, as its XML describes them (requests only).
extern const wl_interface pointerInterface;
const wl_interface *createTypes[] = {&wl_seat_interface, &pointerInterface};
const wl_message managerRequests[] = {
    {"create_virtual_pointer", "?on", createTypes},
    {"destroy", "", nullptr},
};
const wl_interface managerInterface
    = {"zwlr_virtual_pointer_manager_v1", 1, 2, managerRequests, 0, nullptr};
const wl_interface *noTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},
    {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},
    {"axis", "uuf", noTypes},
    {"frame", "", noTypes},
    {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes},
    {"axis_discrete", "uufi", noTypes},
    {"destroy", "", noTypes},
};
const wl_interface pointerInterface
    = {"zwlr_virtual_pointer_v1", 1, 9, pointerRequests, 0, nullptr};

enum PointerRequest { MotionAbsolute = 1, Button = 2, Frame = 4 };
constexpr uint32_t leftButton = 0x110; // BTN_LEFT of the kernel's input codes

struct Globals
{
    wl_seat *seat = nullptr;
    wl_proxy *manager = nullptr;
};

void global(void *data, wl_registry *registry, uint32_t name, const char *interface, uint32_t)
{
    auto *globals = static_cast<Globals *>(data);
    if (std::strcmp(interface, "wl_seat") == 0 && !globals->seat) {
        globals->seat
            = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, managerInterface.name) == 0) {
        globals->manager
            = static_cast<wl_proxy *>(wl_registry_bind(registry, name, &managerInterface, 1));
    }
}

void globalRemove(void *, wl_registry *, uint32_t) { }

const wl_registry_listener registryListener = {global, globalRemove};
} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: virtual-pointer WIDTH HEIGHT\n");
        return 2;
    }
    const uint32_t width = std::stoul(argv[1]);
    const uint32_t height = std::stoul(argv[2]);
    wl_display *display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "virtual-pointer: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(display);
    if (!globals.manager || !globals.seat) {
        std::fprintf(stderr, "virtual-pointer: the compositor has no virtual pointers\n");
        return 1;
    }
    wl_proxy *pointer = wl_proxy_marshal_constructor(
        globals.manager, 0, &pointerInterface, globals.seat, nullptr);
    wl_display_roundtrip(display);
    std::cout << "ready" << std::endl;

    uint32_t time = 0;
    std::string command;
    while (std::cin >> command) {
        time += 10;
        if (command == "move") {
            uint32_t x = 0, y = 0;
            std::cin >> x >> y;
            wl_proxy_marshal(pointer, MotionAbsolute, time, x, y, width, height);
        } else if (command == "press" || command == "release") {
            wl_proxy_marshal(pointer, Button, time, leftButton, command == "press" ? 1u : 0u);
        } else {
            std::fprintf(stderr, "virtual-pointer: unknown command %s\n", command.c_str());
            continue;
        }
        wl_proxy_marshal(pointer, Frame);
        wl_display_roundtrip(display);
        std::cout << "done" << std::endl;
    }
    wl_display_disconnect(display);
    return 0;
}
