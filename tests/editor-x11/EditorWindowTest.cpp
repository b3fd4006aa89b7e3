// A small host: loads the plug-in library, opens the editor in its own X11 window and drives it with XTest.
#include "plugin/VstInterface.h"

// Before the X11 headers, whose macros (None, Bool) collide with its names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr int32_t kResonance = 21;
constexpr int32_t kQuality = 37;
constexpr int kWidth = 851;
constexpr int kHeight = 311;
// The resonance knob: "Filter" panel at (500, 20), anchor (280, 15), knob 14 below, 40 x 40.
constexpr int kKnobLeft = 780;
constexpr int kKnobTop = 49;
// The quality switch: "Misc" panel at (500, 210), switch at (15, 39), 38 x 26.
constexpr int kSwitchLeft = 515;
constexpr int kSwitchTop = 249;
// The "Volume" caption: "Main" panel at (10, 130), caption at (9, 15), 50 x 12.
constexpr int kCaptionLeft = 19;
constexpr int kCaptionTop = 145;

struct Call
{
    int32_t opcode;
    int32_t index;
    float opt;
};
std::vector<Call> gCalls;

intptr_t host(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt)
{
    if (opcode == audioMasterVersion)
        return 2400;
    gCalls.push_back({opcode, index, opt});
    return 0;
}

int countCalls(int32_t opcode, int32_t index)
{
    int n = 0;
    for (const Call& c : gCalls)
        n += c.opcode == opcode && c.index == index ? 1 : 0;
    return n;
}

using Clock = std::chrono::steady_clock;

// Open file descriptors of this process.
int openFiles()
{
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// Resident memory of this process, in kB.
long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Clients of the X server and the resources all of them hold.
struct ServerLoad
{
    int clients = 0;
    long resources = 0;
};

ServerLoad serverLoad(Display* display)
{
    ServerLoad load;
    XResClient* clients = nullptr;
    if (!XResQueryClients(display, &load.clients, &clients))
        return {-1, -1};
    for (int c = 0; c < load.clients; ++c)
    {
        int types = 0;
        XResType* counts = nullptr;
        if (XResQueryClientResources(display, clients[c].resource_base, &types, &counts))
        {
            for (int t = 0; t < types; ++t)
                load.resources += counts[t].count;
            XFree(counts);
        }
    }
    XFree(clients);
    return load;
}

// The font caches the editor filled stay with the process; freeing them at the end keeps the leak
// checker to what the plug-in itself leaves behind.
class FontCleanup : public ::testing::Environment
{
public:
    void TearDown() override
    {
        cairo_debug_reset_static_data();
        FcFini();
    }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new FontCleanup);

class EditorWindowTest : public ::testing::Test
{
protected:
    // A connection held for the whole suite: an X server that loses its last client starts over, and
    // refuses connections while it does.
    static void SetUpTestSuite()
    {
        XInitThreads();
        keepAlive = XOpenDisplay(nullptr);
    }
    static void TearDownTestSuite()
    {
        if (keepAlive != nullptr)
            XCloseDisplay(keepAlive);
        keepAlive = nullptr;
    }
    static inline Display* keepAlive = nullptr;

    void SetUp() override
    {
        gCalls.clear();
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "needs an X server (run under xvfb-run)";
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        ASSERT_TRUE(XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor));
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0, 0);
        XSelectInput(display, parent, ExposureMask | StructureNotifyMask);
        XMapWindow(display, parent);
        waitFor(MapNotify);

        library = dlopen(ZENTHARODE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        effect = entry(host);
        ASSERT_NE(effect, nullptr);
        EXPECT_NE(effect->flags & effFlagsHasEditor, 0);
    }

    void TearDown() override
    {
        if (effect != nullptr)
            dispatch(effClose);
        if (library != nullptr)
            dlclose(library);
        if (display != nullptr)
        {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    void waitFor(int type)
    {
        XEvent event;
        do
            XWindowEvent(display, parent, StructureNotifyMask, &event);
        while (event.type != type);
    }

    // The host's side of a running editor: its idle calls, and its own window's events.
    void runIdle(std::chrono::milliseconds duration, const std::function<void(XEvent&)>& onEvent = {})
    {
        auto end = Clock::now() + duration;
        while (Clock::now() < end)
        {
            dispatch(effEditIdle);
            while (XPending(display) > 0)
            {
                XEvent event;
                XNextEvent(display, &event);
                if (onEvent)
                    onEvent(event);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    bool open()
    {
        void* handle = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
        bool opened = dispatch(effEditOpen, 0, 0, handle) == 1;
        runIdle(std::chrono::milliseconds(150));
        return opened;
    }

    std::vector<Window> children()
    {
        Window root = 0, parentOfParent = 0;
        Window* list = nullptr;
        unsigned int count = 0;
        XQueryTree(display, parent, &root, &parentOfParent, &list, &count);
        std::vector<Window> result(list, list + count);
        if (list != nullptr)
            XFree(list);
        return result;
    }

    // Synthetic input from a connection of its own, while this thread keeps calling the editor's idle.
    void runInput(const std::function<void(Display*)>& script)
    {
        std::atomic<bool> done{false};
        std::thread input([&] {
            Display* d = XOpenDisplay(nullptr);
            script(d);
            XSync(d, False);
            XCloseDisplay(d);
            done = true;
        });
        while (!done)
            runIdle(std::chrono::milliseconds(10));
        input.join();
        runIdle(std::chrono::milliseconds(200));
    }

    static void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    static void moveTo(Display* d, int x, int y)
    {
        XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
        XSync(d, False);
    }
    static void button(Display* d, bool down)
    {
        XTestFakeButtonEvent(d, 1, down ? True : False, CurrentTime);
        XSync(d, False);
    }

    // The editor window as it is on screen.
    cairo_surface_t* screenshot()
    {
        std::vector<Window> kids = children();
        if (kids.size() != 1)
            return nullptr;
        XImage* image = XGetImage(display, kids[0], 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
        if (image == nullptr)
            return nullptr;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
        unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        auto channel = [](unsigned long pixel, unsigned long mask) {
            int shift = 0;
            while (mask != 0 && (mask & 1) == 0)
            {
                mask >>= 1;
                ++shift;
            }
            return static_cast<uint32_t>(((pixel >> shift) & mask) * 255 / (mask != 0 ? mask : 1));
        };
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
            {
                unsigned long p = XGetPixel(image, x, y);
                reinterpret_cast<uint32_t*>(data + y * stride)[x] = (channel(p, image->red_mask) << 16)
                                                                    | (channel(p, image->green_mask) << 8)
                                                                    | channel(p, image->blue_mask);
            }
        XDestroyImage(image);
        cairo_surface_mark_dirty(surface);
        return surface;
    }
    static uint32_t pixel(cairo_surface_t* s, int x, int y)
    {
        return reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s)
                                                 + y * cairo_image_surface_get_stride(s))[x]
               & 0xFFFFFF;
    }
    // Centre of the knob handle's gold pixels, relative to the knob's centre.
    static bool handleOffset(cairo_surface_t* s, double& dx, double& dy)
    {
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = kKnobTop; y < kKnobTop + 40; ++y)
            for (int x = kKnobLeft; x < kKnobLeft + 40; ++x)
                if (pixel(s, x, y) == 0xE4BD1F)
                {
                    sx += x;
                    sy += y;
                    ++n;
                }
        if (n == 0)
            return false;
        dx = sx / n - (kKnobLeft + 19.5);
        dy = sy / n - (kKnobTop + 19.5);
        return true;
    }

    Display* display = nullptr;
    Window parent = 0;
    void* library = nullptr;
    AEffect* effect = nullptr;
};

} // namespace

TEST_F(EditorWindowTest, OpensAsAChildWindowOfTheHostsWindowAndClosesAgain)
{
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, kWidth);
    EXPECT_EQ(rect->bottom - rect->top, kHeight);
    for (int round = 0; round < 3; ++round)
    {
        ASSERT_TRUE(open());
        std::vector<Window> kids = children();
        ASSERT_EQ(kids.size(), 1u);
        XWindowAttributes attributes;
        XGetWindowAttributes(display, kids[0], &attributes);
        EXPECT_EQ(attributes.width, kWidth);
        EXPECT_EQ(attributes.height, kHeight);
        EXPECT_EQ(attributes.map_state, IsViewable);
        // A second open without a close leaves one window, not two.
        ASSERT_TRUE(open());
        EXPECT_EQ(children().size(), 1u);
        dispatch(effEditClose);
        XSync(display, False);
        EXPECT_TRUE(children().empty());
        dispatch(effEditClose);
    }
    // No parent: nothing opens.
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, nullptr), 0);
    // A handle that is not a window: nothing opens and the host goes on.
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(0x7ffffff0))), 0);
    EXPECT_TRUE(children().empty());
}

// A host opens and closes the editor again and again: nothing grows, neither the process's memory and
// files nor the X server's clients and resources.
TEST_F(EditorWindowTest, ThousandOpensAndClosesLeaveNothingBehind)
{
    int major = 0, minor = 0, eventBase = 0, errorBase = 0;
    ASSERT_TRUE(XResQueryExtension(display, &eventBase, &errorBase));
    ASSERT_TRUE(XResQueryVersion(display, &major, &minor));
    void* handle = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
    auto cycle = [&](int count) {
        for (int i = 0; i < count; ++i)
        {
            ASSERT_EQ(dispatch(effEditOpen, 0, 0, handle), 1);
            effect->setParameter(effect, kResonance, static_cast<float>(i % 100) / 100.0f);
            dispatch(effEditIdle);
            dispatch(effEditClose);
        }
        XSync(display, False);
    };
    // The first opens fill the font and glyph caches, which stay.
    cycle(50);
    const int files = openFiles();
    const long memory = residentKb();
    const ServerLoad server = serverLoad(display);
    ASSERT_GE(server.clients, 1);

#ifdef __SANITIZE_ADDRESS__
    // Under the address sanitizer freed memory is held back on purpose, and its leak checker looks for
    // what is lost instead; fewer rounds keep the run short.
    cycle(200);
    EXPECT_EQ(openFiles(), files);
    static_cast<void>(memory);
#else
    cycle(1000);
    EXPECT_EQ(openFiles(), files);
    EXPECT_LT(residentKb() - memory, 2048) << "kB more resident memory after 1000 opens";
#endif
    const ServerLoad after = serverLoad(display);
    EXPECT_EQ(after.clients, server.clients);
    EXPECT_EQ(after.resources, server.resources);
    EXPECT_TRUE(children().empty());
}

TEST_F(EditorWindowTest, HostDestroyingItsWindowBeforeTheCloseIsSurvived)
{
    Window other = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0, 0);
    XMapWindow(display, other);
    XSync(display, False);
    void* handle = reinterpret_cast<void*>(static_cast<uintptr_t>(other));
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, handle), 1);
    runIdle(std::chrono::milliseconds(50));
    // The editor's window goes with the host's; idle and close still come.
    XDestroyWindow(display, other);
    XSync(display, False);
    runIdle(std::chrono::milliseconds(50));
    effect->setParameter(effect, kResonance, 0.3f);
    runIdle(std::chrono::milliseconds(50));
    dispatch(effEditClose);
    // The plug-in goes on working and opens again in a window that exists.
    ASSERT_TRUE(open());
    EXPECT_EQ(children().size(), 1u);
}

TEST_F(EditorWindowTest, ShowsTheEditorsPictureAndSavesAScreenshot)
{
    ASSERT_TRUE(open());
    cairo_surface_t* shot = screenshot();
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(pixel(shot, 300, 306), 0x808080u);     // background grey
    EXPECT_EQ(pixel(shot, 11, 200), 0xC0C0C0u);      // "Main" panel border
    EXPECT_EQ(pixel(shot, 14, 200), 0x4BB7E4u);      // its interior
    EXPECT_EQ(pixel(shot, kKnobLeft, kKnobTop), 0x4BB7E4u); // knob body corner
    cairo_surface_write_to_png(shot, ZENTHARODE_SCREENSHOT);
    cairo_surface_destroy(shot);
    // Uncovered parts are drawn again from the editor's picture.
    XClearArea(display, children()[0], 0, 0, 0, 0, True);
    runIdle(std::chrono::milliseconds(100));
    shot = screenshot();
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(pixel(shot, 14, 200), 0x4BB7E4u);
    cairo_surface_destroy(shot);
}

TEST_F(EditorWindowTest, DraggingAKnobAutomatesItsParameterWithinEditBrackets)
{
    ASSERT_TRUE(open());
    effect->setParameter(effect, kResonance, 0.0f);
    runIdle(std::chrono::milliseconds(50));
    gCalls.clear();
    // Circular dragging: pressing on top of the knob gives the middle, the right side 5/6.
    runInput([](Display* d) {
        moveTo(d, kKnobLeft + 20, kKnobTop + 2);
        pause(50);
        button(d, true);
        pause(150);
        for (int step = 1; step <= 10; ++step)
        {
            moveTo(d, kKnobLeft + 20 + step * 18 / 10, kKnobTop + 2 + step * 18 / 10);
            pause(20);
        }
        pause(150);
        button(d, false);
    });
    float value = effect->getParameter(effect, kResonance);
    EXPECT_NEAR(value, 225.0f / 270.0f, 0.05f);
    EXPECT_GE(countCalls(audioMasterAutomate, kResonance), 2);
    EXPECT_EQ(countCalls(audioMasterBeginEdit, kResonance), 1);
    EXPECT_EQ(countCalls(audioMasterEndEdit, kResonance), 1);
    // Begin edit comes first, end edit last; the last automation carries the final value.
    ASSERT_FALSE(gCalls.empty());
    size_t begin = 0, end = 0, lastAutomate = 0;
    for (size_t i = 0; i < gCalls.size(); ++i)
    {
        if (gCalls[i].opcode == audioMasterBeginEdit)
            begin = i;
        if (gCalls[i].opcode == audioMasterEndEdit)
            end = i;
        if (gCalls[i].opcode == audioMasterAutomate)
            lastAutomate = i;
    }
    EXPECT_LT(begin, lastAutomate);
    EXPECT_LT(lastAutomate, end);
    EXPECT_EQ(gCalls[lastAutomate].opt, value);
    // During the drag the host got its idle calls.
    EXPECT_GE(countCalls(audioMasterIdle, 0), 1);

    cairo_surface_t* shot = screenshot();
    ASSERT_NE(shot, nullptr);
    double dx = 0, dy = 0;
    ASSERT_TRUE(handleOffset(shot, dx, dy));
    double angle = (225.0 - 270.0 * value) * M_PI / 180.0;
    EXPECT_NEAR(dx, 12.0 * std::cos(angle), 1.0);
    EXPECT_NEAR(dy, -12.0 * std::sin(angle), 1.0);
    cairo_surface_destroy(shot);
}

TEST_F(EditorWindowTest, ClickingASwitchSetsItsParameterWithoutEditBrackets)
{
    ASSERT_TRUE(open());
    effect->setParameter(effect, kQuality, 0.0f);
    runIdle(std::chrono::milliseconds(50));
    gCalls.clear();
    runInput([](Display* d) {
        moveTo(d, kSwitchLeft + 19, kSwitchTop + 20);
        pause(50);
        button(d, true);
        pause(60);
        button(d, false);
    });
    EXPECT_FLOAT_EQ(effect->getParameter(effect, kQuality), 20.0f / 26.0f);
    EXPECT_EQ(countCalls(audioMasterAutomate, kQuality), 1);
    EXPECT_EQ(countCalls(audioMasterBeginEdit, kQuality), 0);
    char text[64] = {};
    dispatch(effGetParamName, kQuality, 0, text);
    EXPECT_STREQ(text, "Quality");
    // The lower entry is shown selected: gold text in the lower cell, none in the upper.
    cairo_surface_t* shot = screenshot();
    ASSERT_NE(shot, nullptr);
    auto gold = [&](int top) {
        int n = 0;
        for (int y = top; y < top + 11; ++y)
            for (int x = kSwitchLeft + 1; x < kSwitchLeft + 38; ++x)
                n += ((pixel(shot, x, y) >> 16) & 0xFF) > 120 && (pixel(shot, x, y) & 0xFF) < 140 ? 1 : 0;
        return n;
    };
    EXPECT_EQ(gold(kSwitchTop + 2), 0);
    EXPECT_GT(gold(kSwitchTop + 15), 5);
    cairo_surface_destroy(shot);
}

TEST_F(EditorWindowTest, ReopenedWindowShowsAChangeMadeWhileItWasClosed)
{
    ASSERT_TRUE(open());
    dispatch(effEditClose);
    effect->setParameter(effect, kResonance, 0.1f);
    ASSERT_TRUE(open());
    cairo_surface_t* shot = screenshot();
    ASSERT_NE(shot, nullptr);
    double dx = 0, dy = 0;
    ASSERT_TRUE(handleOffset(shot, dx, dy));
    double angle = (225.0 - 27.0) * M_PI / 180.0;
    EXPECT_NEAR(dx, 12.0 * std::cos(angle), 1.0);
    EXPECT_NEAR(dy, -12.0 * std::sin(angle), 1.0);
    cairo_surface_destroy(shot);
    // And an automation from the host moves it while open, at the next idle.
    effect->setParameter(effect, kResonance, 1.0f);
    runIdle(std::chrono::milliseconds(50));
    shot = screenshot();
    ASSERT_TRUE(handleOffset(shot, dx, dy));
    EXPECT_NEAR(dx, 12.0 * std::sqrt(0.5), 1.0);
    EXPECT_NEAR(dy, 12.0 * std::sqrt(0.5), 1.0);
    cairo_surface_destroy(shot);
}

TEST_F(EditorWindowTest, FilesDroppedOnACaptionArriveThroughXdnd)
{
    ASSERT_TRUE(open());
    Window target = children().at(0);
    cairo_surface_t* before = screenshot();
    ASSERT_NE(before, nullptr);

    Atom aware = XInternAtom(display, "XdndAware", False);
    Atom enter = XInternAtom(display, "XdndEnter", False);
    Atom position = XInternAtom(display, "XdndPosition", False);
    Atom status = XInternAtom(display, "XdndStatus", False);
    Atom drop = XInternAtom(display, "XdndDrop", False);
    Atom finished = XInternAtom(display, "XdndFinished", False);
    Atom selection = XInternAtom(display, "XdndSelection", False);
    Atom actionCopy = XInternAtom(display, "XdndActionCopy", False);
    Atom uriList = XInternAtom(display, "text/uri-list", False);

    // The editor's window says it takes drops.
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(display, target, aware, 0, 1, False, XA_ATOM, &type, &format, &count, &remaining,
                                 &data),
              Success);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(count, 1u);
    XFree(data);

    // This host plays the file manager: a source window that owns the drag's selection.
    Window source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, selection, source, CurrentTime);
    const std::string uris = "file:///tmp/one.wav\r\nfile:///tmp/two%20b.wav\r\n";
    auto send = [&](Atom message, long l1, long l2) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = target;
        e.xclient.message_type = message;
        e.xclient.format = 32;
        e.xclient.data.l[0] = static_cast<long>(source);
        e.xclient.data.l[1] = l1;
        e.xclient.data.l[2] = l2;
        if (message == enter)
            e.xclient.data.l[2] = static_cast<long>(uriList);
        if (message == position)
            e.xclient.data.l[4] = static_cast<long>(actionCopy);
        XSendEvent(display, target, False, NoEventMask, &e);
        XFlush(display);
    };
    long accepted = -1;
    long finishedAccepted = -1;
    auto onEvent = [&](XEvent& e) {
        if (e.type == ClientMessage && e.xclient.message_type == status)
            accepted = e.xclient.data.l[1] & 1;
        if (e.type == ClientMessage && e.xclient.message_type == finished)
            finishedAccepted = e.xclient.data.l[1] & 1;
        if (e.type == SelectionRequest)
        {
            const XSelectionRequestEvent& request = e.xselectionrequest;
            XEvent reply{};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (request.target == uriList)
            {
                XChangeProperty(display, request.requestor, request.property, uriList, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
                reply.xselection.property = request.property;
            }
            XSendEvent(display, request.requestor, False, NoEventMask, &reply);
            XFlush(display);
        }
    };
    // Not a target without the text/uri-list type; then over the "Volume" caption, 10 pixels in.
    send(enter, 5L << 24, 0);
    send(position, 0, ((kCaptionLeft + 10L) << 16) | (kCaptionTop + 6L));
    runIdle(std::chrono::milliseconds(100), onEvent);
    EXPECT_EQ(accepted, 1);
    send(drop, 0, CurrentTime);
    runIdle(std::chrono::milliseconds(300), onEvent);
    EXPECT_EQ(finishedAccepted, 1);

    // The caption's text changed to the list of the drop.
    cairo_surface_t* after = screenshot();
    ASSERT_NE(after, nullptr);
    int changed = 0;
    for (int y = kCaptionTop; y < kCaptionTop + 12; ++y)
        for (int x = kCaptionLeft; x < kCaptionLeft + 50; ++x)
            changed += pixel(before, x, y) != pixel(after, x, y) ? 1 : 0;
    EXPECT_GT(changed, 20);

    // A drop on the background is refused.
    finishedAccepted = -1;
    send(enter, 5L << 24, 0);
    send(position, 0, (300L << 16) | 306L);
    runIdle(std::chrono::milliseconds(50), onEvent);
    send(drop, 0, CurrentTime);
    runIdle(std::chrono::milliseconds(300), onEvent);
    EXPECT_EQ(finishedAccepted, 0);

    cairo_surface_destroy(before);
    cairo_surface_destroy(after);
    XDestroyWindow(display, source);
}
