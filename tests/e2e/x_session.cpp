#include "x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

Display* as_display(void* d) {
    return static_cast<Display*>(d);
}

void sleep_for_ms(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
            bool quiet) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    setpgid(0, 0);
    for (const auto& assignment : environment) putenv(const_cast<char*>(assignment.c_str()));
    if (quiet) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

unsigned long find_titled(Display* display, Window root, const std::string& title) {
    Window parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        XWindowAttributes attributes;
        if (XFetchName(display, children[i], &name) && name) {
            if (title == name && XGetWindowAttributes(display, children[i], &attributes) &&
                attributes.map_state == IsViewable)
                found = children[i];
            XFree(name);
        }
        if (!found) found = find_titled(display, children[i], title);
    }
    if (children) XFree(children);
    return found;
}

// A window that has gone (its program ended) is no reason to end the test process, which is
// what Xlib's own handler does.
int ignore_x_errors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

XSession::XSession(const std::string& screen) {
    XSetErrorHandler(ignore_x_errors);
    // A display number of our own: the first whose lock file does not exist.
    for (int number = 140; number < 200; ++number) {
        // Named, not a temporary after a literal: GCC 12 at -O3 warns falsely (-Wrestrict)
        // about "..." + std::to_string(...).
        const std::string number_text = std::to_string(number);
        std::string lock = "/tmp/.X" + number_text + "-lock";
        if (access(lock.c_str(), F_OK) == 0) continue;
        name_ = ":" + number_text;
        server_ = spawn({"Xvfb", name_, "-screen", "0", screen, "-nolisten", "tcp"}, {}, true);
        for (int tries = 0; tries < 400 && !display_; ++tries) {
            sleep_for_ms(50);
            display_ = XOpenDisplay(name_.c_str());
        }
        if (display_) return;
        kill(server_, SIGKILL);
        waitpid(server_, nullptr, 0);
        server_ = -1;
    }
}

XSession::~XSession() {
    for (pid_t child : children_) {
        kill(-child, SIGKILL);
        waitpid(child, nullptr, WNOHANG);
    }
    if (display_) XCloseDisplay(as_display(display_));
    if (server_ > 0) {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }
}

pid_t XSession::launch(const std::string& program, const std::vector<std::string>& environment) {
    std::vector<std::string> env = environment;
    env.push_back("DISPLAY=" + name_);
    env.push_back("SDL_VIDEODRIVER=x11"); // the test process itself runs headless
    pid_t pid = spawn({program}, env, false);
    children_.push_back(pid);
    return pid;
}

unsigned long XSession::wait_window(const std::string& title, int timeout_ms) {
    Display* display = as_display(display_);
    for (int waited = 0; waited <= timeout_ms; waited += 20) {
        if (unsigned long window = find_titled(display, DefaultRootWindow(display), title))
            return window;
        sleep_for_ms(20);
    }
    return 0;
}

std::string XSession::window_title(unsigned long window) {
    char* name = nullptr;
    std::string title;
    if (XFetchName(as_display(display_), window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

bool XSession::capture(unsigned long window, Screenshot& out) {
    Display* display = as_display(display_);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) return false;
    XSync(display, False);
    XImage* image =
        XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return false;
    out.width = attributes.width;
    out.height = attributes.height;
    out.pixels.resize(size_t(out.width) * out.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.pixels[size_t(y) * out.width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
}

bool XSession::start_window_manager(int timeout_ms) {
    Display* display = as_display(display_);
    pid_t manager = spawn({"openbox"}, {"DISPLAY=" + name_}, true);
    children_.push_back(manager);
    // A running manager names its check window on the root window.
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    for (int waited = 0; waited <= timeout_ms; waited += 20) {
        if (waitpid(manager, nullptr, WNOHANG) == manager) return false; // not installed
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                               AnyPropertyType, &type, &format, &items, &after, &data) == Success &&
            data) {
            XFree(data);
            if (items > 0) return true;
        }
        sleep_for_ms(20);
    }
    return false;
}

void XSession::resize(unsigned long window, int32_t width, int32_t height) {
    pid_t pid = spawn({"xdotool", "windowsize", std::to_string(window), std::to_string(width),
                       std::to_string(height)},
                      {"DISPLAY=" + name_}, true);
    waitpid(pid, nullptr, 0);
}

void XSession::run_xdotool(unsigned long window, const char* verb, const std::string& argument) {
    std::string id = std::to_string(window);
    pid_t focus = spawn({"xdotool", "windowfocus", "--sync", id}, {"DISPLAY=" + name_}, true);
    waitpid(focus, nullptr, 0);
    pid_t pid = spawn({"xdotool", verb, "--delay", "40", argument}, {"DISPLAY=" + name_}, true);
    waitpid(pid, nullptr, 0);
}

void XSession::type(unsigned long window, const std::string& text) {
    run_xdotool(window, "type", text);
}

void XSession::key(unsigned long window, const std::string& keys) {
    run_xdotool(window, "key", keys);
}

void XSession::close_window(unsigned long window) {
    Display* display = as_display(display_);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

bool XSession::press_until_exit(unsigned long window, const std::string& keys, pid_t pid,
                                int timeout_ms, int& exit_code) {
    constexpr int every_ms = 250;
    for (int waited = 0; waited <= timeout_ms; waited += every_ms) {
        key(window, keys);
        if (wait_exit(pid, every_ms, exit_code)) return true;
    }
    return false;
}

bool XSession::wait_exit(pid_t pid, int timeout_ms, int& exit_code) {
    for (int waited = 0; waited <= timeout_ms; waited += 5) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        sleep_for_ms(5);
    }
    return false;
}
