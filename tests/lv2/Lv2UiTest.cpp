// The LV2 UI as a host runs it: found through lilv, instantiated in the host's X11 window, shown the values
// the ports and the notify port tell it, and driven with synthetic mouse input that must come back as port
// writes inside touch gestures.
#include "lv2/Lv2Ports.h"
#include "lv2/PortTable.h"

#include "editor/EditorController.h"
#include "editor/SynthEditor.h"
#include "params/ParameterApplication.h"
#include "params/ParameterText.h"

// Before the X11 headers, whose macros (Bool, None) collide with their names.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>
#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr int kWidth = 851;
constexpr int kHeight = 311;
// The resonance knob: "Filter" panel at (500, 20), anchor (280, 15), knob 14 below, 40 x 40.
constexpr int kKnobCentreX = 800;
constexpr int kKnobCentreY = 69;
// The quality switch: "Misc" panel at (500, 210), switch at (15, 39), 38 x 26; a point in its second half.
constexpr int kSwitchX = 545;
constexpr int kSwitchY = 269;

// The font caches the editors filled stay with the process; freeing them keeps the leak checker to ours.
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

// The picture the editor must show for a set of values: an editor of the test's own, drawn offscreen.
class Reference : public EditorController
{
public:
    explicit Reference(const std::array<float, kNumParams>& values) : fValues(values) {}
    float parameterValue(int32_t index) override { return fValues[static_cast<size_t>(index)]; }
    void parameterText(int32_t index, char* text) override { parameterDisplay(index, fValues.data(), text); }
    void changeParameter(int32_t, float) override {}
    void beginGesture(int32_t) override {}
    void endGesture(int32_t) override {}
    void idleHost() override {}

private:
    std::array<float, kNumParams> fValues;
};

struct Write
{
    uint32_t port;
    uint32_t size;
    uint32_t format;
    float value;
};

struct Touch
{
    uint32_t port;
    bool grabbed;
};

class Lv2UiTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        XInitThreads();
        // An X server that loses its last client starts over and refuses connections meanwhile.
        keepAlive = XOpenDisplay(nullptr);
    }
    static void TearDownTestSuite()
    {
        if (keepAlive != nullptr)
            XCloseDisplay(keepAlive);
    }
    static inline Display* keepAlive = nullptr;

    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "needs an X server (run under xvfb-run)";
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);

        // The UI's binary as a host finds it: through the plug-in's description in the bundle.
        setenv("LV2_PATH", ZENTHARODE_LV2_BUNDLES, 1);
        world = lilv_world_new();
        lilv_world_load_all(world);
        LilvNode* uri = lilv_new_uri(world, lv2uri::kPlugin);
        const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
        ASSERT_NE(plugin, nullptr);
        LilvUIs* uis = lilv_plugin_get_uis(plugin);
        ASSERT_EQ(lilv_uis_size(uis), 1u);
        const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
        char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        lilv_free(path);
        lilv_uis_free(uis);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_STREQ(descriptor->URI, lv2uri::kUi);
        EXPECT_EQ(entry(1), nullptr);

        mapFeature = {LV2_URID__map, &map};
        parentFeature = {LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))};
        resizeFeature = {LV2_UI__resize, &resize};
        touchFeature = {LV2_UI__touch, &touch};
        idleFeature = {LV2_UI__idleInterface, nullptr};
        lv2_atom_forge_init(&forge, &map);
    }

    void TearDown() override
    {
        if (handle != nullptr)
            descriptor->cleanup(handle);
        if (library != nullptr)
            dlclose(library);
        if (world != nullptr)
            lilv_world_free(world);
        if (display != nullptr)
        {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    bool instantiate()
    {
        const LV2_Feature* features[] = {&mapFeature, &parentFeature, &resizeFeature, &touchFeature, &idleFeature,
                                         nullptr};
        handle = descriptor->instantiate(descriptor, lv2uri::kPlugin, ZENTHARODE_LV2_BUNDLES, write, this, &widget,
                                         features);
        if (handle == nullptr)
            return false;
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        return idleInterface != nullptr;
    }

    // The host's UI thread: idle calls at about 200 Hz.
    void runIdle(std::chrono::milliseconds duration)
    {
        const auto end = std::chrono::steady_clock::now() + duration;
        while (std::chrono::steady_clock::now() < end)
        {
            EXPECT_EQ(idleInterface->idle(handle), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // Synthetic input from a connection of its own, while this thread keeps calling the UI's idle.
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

    static void moveTo(Display* d, int x, int y)
    {
        XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
        XSync(d, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    static void button(Display* d, bool down)
    {
        XTestFakeButtonEvent(d, 1, down ? True : False, CurrentTime);
        XSync(d, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }

    Window widgetWindow() const { return static_cast<Window>(reinterpret_cast<uintptr_t>(widget)); }

    std::vector<Window> children()
    {
        Window root = 0, up = 0;
        Window* list = nullptr;
        unsigned int count = 0;
        XQueryTree(display, parent, &root, &up, &list, &count);
        std::vector<Window> result(list, list + count);
        if (list != nullptr)
            XFree(list);
        return result;
    }

    // Pixels on screen that differ from the editor's own picture of these values.
    int differingPixels(const std::array<float, kNumParams>& values)
    {
        Reference reference(values);
        SynthEditor editor(&reference);
        editor.openOffscreen();
        cairo_surface_t* expected = editor.getFrame()->image();
        cairo_surface_flush(expected);
        XImage* image = XGetImage(display, widgetWindow(), 0, 0, kWidth, kHeight, AllPlanes, ZPixmap);
        if (image == nullptr)
            return kWidth * kHeight;
        const unsigned char* data = cairo_image_surface_get_data(expected);
        const int stride = cairo_image_surface_get_stride(expected);
        int differing = 0;
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++)
            {
                const uint32_t want = reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xFFFFFF;
                const unsigned long got = XGetPixel(image, x, y);
                const uint32_t rgb = static_cast<uint32_t>(((got & image->red_mask) >> 16) << 16
                                                           | ((got & image->green_mask) >> 8) << 8
                                                           | (got & image->blue_mask));
                differing += rgb != want ? 1 : 0;
            }
        XDestroyImage(image);
        return differing;
    }

    // A controller move as the plug-in's notify port carries it.
    std::vector<uint8_t> controllerMove(int32_t index, float value)
    {
        std::vector<uint8_t> buffer(256);
        lv2_atom_forge_set_buffer(&forge, buffer.data(), buffer.size());
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forge, &frame, 0, mapUri(lv2uri::kControllerMove));
        lv2_atom_forge_key(&forge, mapUri(lv2uri::kParameterIndex));
        lv2_atom_forge_int(&forge, index);
        lv2_atom_forge_key(&forge, mapUri(lv2uri::kParameterValue));
        lv2_atom_forge_float(&forge, value);
        lv2_atom_forge_pop(&forge, &frame);
        buffer.resize(sizeof(LV2_Atom) + reinterpret_cast<LV2_Atom*>(buffer.data())->size);
        return buffer;
    }

    LV2_URID mapUri(const char* uri)
    {
        for (size_t i = 0; i < uris.size(); i++)
            if (uris[i] == uri)
                return static_cast<LV2_URID>(i + 1);
        uris.emplace_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }

    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
    {
        auto* self = static_cast<Lv2UiTest*>(controller);
        float value = 0.0f;
        if (size == sizeof value)
            std::memcpy(&value, buffer, sizeof value);
        self->writes.push_back({port, size, format, value});
    }

    Display* display = nullptr;
    Window parent = 0;
    LilvWorld* world = nullptr;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    LV2UI_Handle handle = nullptr;
    LV2UI_Widget widget = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;

    std::vector<std::string> uris;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<Lv2UiTest*>(h)->mapUri(uri); }};
    std::vector<std::pair<int, int>> resizes;
    LV2UI_Resize resize{this, [](LV2UI_Feature_Handle h, int w, int hgt) {
                            static_cast<Lv2UiTest*>(h)->resizes.push_back({w, hgt});
                            return 0;
                        }};
    std::vector<Touch> touches;
    LV2UI_Touch touch{this, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                          static_cast<Lv2UiTest*>(h)->touches.push_back({port, grabbed});
                      }};
    LV2_Feature mapFeature{}, parentFeature{}, resizeFeature{}, touchFeature{}, idleFeature{};
    LV2_Atom_Forge forge{};
    std::vector<Write> writes;
};
} // namespace

TEST_F(Lv2UiTest, OpensInTheHostsWindowAtItsSizeAndClosesWithIt)
{
    ASSERT_TRUE(instantiate());
    runIdle(std::chrono::milliseconds(150));
    std::vector<Window> kids = children();
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_EQ(kids[0], widgetWindow());
    XWindowAttributes attributes;
    XGetWindowAttributes(display, widgetWindow(), &attributes);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_EQ(attributes.map_state, IsViewable);
    ASSERT_EQ(resizes.size(), 1u);
    EXPECT_EQ(resizes[0], std::make_pair(kWidth, kHeight));
    // Until the host tells the ports, the plug-in's start values.
    EXPECT_EQ(differingPixels(startValues()), 0);
    EXPECT_TRUE(writes.empty());

    descriptor->cleanup(handle);
    handle = nullptr;
    XSync(display, False);
    EXPECT_TRUE(children().empty());

    // Without a parent window there is no UI.
    const LV2_Feature* noParent[] = {&mapFeature, nullptr};
    EXPECT_EQ(descriptor->instantiate(descriptor, lv2uri::kPlugin, ZENTHARODE_LV2_BUNDLES, write, this, &widget, noParent),
              nullptr);
}

TEST_F(Lv2UiTest, ShowsWhatThePortsAndTheNotifyPortTellIt)
{
    ASSERT_TRUE(instantiate());
    std::array<float, kNumParams> values = startValues();
    // The host tells every control port's value, as after a preset; the body type arrives unsnapped.
    for (int32_t i = 0; i < kNumParams; i++)
    {
        const float value = static_cast<float>((i * 29) % 97) / 96.0f;
        descriptor->port_event(handle, static_cast<uint32_t>(i), sizeof value, 0, &value);
        values[static_cast<size_t>(i)] = storedParameterValue(i, value);
    }
    runIdle(std::chrono::milliseconds(150));
    EXPECT_EQ(differingPixels(values), 0);

    // A controller moved the resonance and the warp inside the plug-in.
    for (auto [index, value] : {std::pair{kResonance, 1.0f}, std::pair{kWarp, 0.0f}})
    {
        const std::vector<uint8_t> move = controllerMove(index, value);
        const LV2_URID transfer = mapUri(LV2_ATOM__eventTransfer);
        descriptor->port_event(handle, lv2port::kNotify, static_cast<uint32_t>(move.size()), transfer, move.data());
        values[static_cast<size_t>(index)] = value;
    }
    // Events it has no use for change nothing.
    const float stray = 0.5f;
    descriptor->port_event(handle, lv2port::kAudioOutLeft, sizeof stray, 0, &stray);
    descriptor->port_event(handle, lv2port::kNotify, 2, mapUri(LV2_ATOM__eventTransfer), "x");
    runIdle(std::chrono::milliseconds(150));
    EXPECT_EQ(differingPixels(values), 0);
    EXPECT_TRUE(writes.empty());
}

TEST_F(Lv2UiTest, MouseChangesBecomePortWritesInsideTouchGestures)
{
    ASSERT_TRUE(instantiate());
    runIdle(std::chrono::milliseconds(150));
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, widgetWindow(), DefaultRootWindow(display), 0, 0, &x, &y, &child);

    // A click on the quality switch's second half.
    runInput([&](Display* d) {
        moveTo(d, x + kSwitchX, y + kSwitchY);
        button(d, true);
        button(d, false);
    });
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().port, static_cast<uint32_t>(kQuality));
    EXPECT_EQ(writes.back().size, sizeof(float));
    EXPECT_EQ(writes.back().format, 0u);
    EXPECT_GT(writes.back().value, 0.5f);

    // A drag up on the resonance knob: a gesture around the writes, the knob's port only.
    const size_t dragStart = writes.size();
    runInput([&](Display* d) {
        moveTo(d, x + kKnobCentreX, y + kKnobCentreY + 15);
        button(d, true);
        for (int step = 1; step <= 10; step++)
            moveTo(d, x + kKnobCentreX + step * 3, y + kKnobCentreY - step * 4);
        button(d, false);
    });
    ASSERT_GT(writes.size(), dragStart);
    for (size_t i = dragStart; i < writes.size(); i++)
        EXPECT_EQ(writes[i].port, static_cast<uint32_t>(kResonance));
    ASSERT_EQ(touches.size(), 2u);
    EXPECT_TRUE(touches[0].port == static_cast<uint32_t>(kResonance) && touches[0].grabbed);
    EXPECT_TRUE(touches[1].port == static_cast<uint32_t>(kResonance) && !touches[1].grabbed);

    // The window shows what the UI wrote, read-outs included.
    std::array<float, kNumParams> values = startValues();
    for (const Write& w : writes)
        values[w.port] = storedParameterValue(static_cast<int32_t>(w.port), w.value);
    EXPECT_EQ(differingPixels(values), 0);
}
