// The plug-in's window: six sections with one control, caption and read-out per parameter.
#pragma once

#include "BarSlider.h"
#include "ChoiceSwitch.h"
#include "SectionPanel.h"
#include "TextLabel.h"
#include "ValueDisplay.h"

#include "EditorController.h"

#include "toolkit/Bitmap.h"
#include "toolkit/Frame.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

class SynthEditor : public toolkit::ControlListener, public toolkit::FrameOwner
{
public:
    static constexpr int32_t kParamCount = 38;
    static constexpr int kPanelCount = 6;
    static constexpr int kCornerRadius = 14;
    static constexpr int kKnobInset = 8;

    // The views of one parameter while the window is open; readout is null for the switches.
    struct ParamViews
    {
        TextLabel* caption = nullptr;
        toolkit::Control* control = nullptr;
        ValueDisplay* readout = nullptr;
    };

    // Needs no display: only open connects to the window system.
    explicit SynthEditor(EditorController* controller);
    ~SynthEditor() override;

    // The window's size: that of the background picture.
    int width() const { return fWidth; }
    int height() const { return fHeight; }
    // Opens inside the host's window (an X11 window id); answers false (and builds nothing) without a
    // usable parent window.
    bool open(void* parentWindow);
    void close();
    void idle();
    virtual void update() {}
    virtual void postUpdate() { fUpdateFlag.store(true, std::memory_order_release); }
    // -1 when the window is closed or no view takes the key.
    int32_t onKeyDown(toolkit::KeyCode& key);
    int32_t onKeyUp(toolkit::KeyCode& key);
    // The host's knob mode, shared by every editor: circular (0), relative circular (1) or linear (2).
    static void setKnobMode(int32_t mode);
    bool onWheel(float distance);
    // Any thread: notes that the parameter changed; the control and read-out follow at the next idle.
    virtual void setParameter(int32_t index, float value);
    virtual void draw();

    // toolkit::FrameOwner
    void doIdleStuff() override;
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    // toolkit::ControlListener
    void valueChanged(toolkit::DrawContext* context, toolkit::Control* control) override;

    // Builds the whole window into an image only, with no window system (tests, screenshots).
    void openOffscreen();
    bool isOpen() const { return fFrame != nullptr; }
    toolkit::Frame* getFrame() const { return fFrame.get(); }
    const ParamViews& views(int32_t index) const;
    SectionPanel* panel(int index) const;
    bool isInIdleWork() const { return fInIdleWork; }

private:
    void build();
    void applyPendingChanges();
    void refreshReadout(int32_t index);
    static uint32_t tickCount();

    EditorController* fController = nullptr;
    void* fParentWindow = nullptr;
    std::atomic<bool> fUpdateFlag{false};
    int fWidth = 0;
    int fHeight = 0;
    std::unique_ptr<toolkit::Frame> fFrame;
    uint32_t fNextIdleTime = 0;
    bool fInIdleWork = false;
    std::shared_ptr<toolkit::Bitmap> fBackground;
    std::array<SectionPanel*, kPanelCount> fPanels{};
    std::array<ParamViews, kParamCount> fViews{};
    // One bit per parameter changed since the last idle; set from any thread.
    std::atomic<uint64_t> fChangedParams{0};
};
