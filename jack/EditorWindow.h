// The standalone program's window: a top-level X11 window of the editor's size that the editor opens in,
// as a host's window holds a plug-in's editor.
#pragma once

#include <memory>
#include <string>

typedef struct _XDisplay Display;
class EditorController;
class SynthEditor;

class EditorWindow
{
public:
    // Null with the reason in error when there is no display or the editor cannot open.
    static std::unique_ptr<EditorWindow> open(EditorController& controller, const std::string& title,
                                              std::string& error);
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // The font caches the editors filled are the process's; at its end, with every window gone, they go too,
    // so that a leak checker sees only what the program itself leaves behind.
    static void releaseSharedCaches();

    SynthEditor& editor() { return *fEditor; }
    // Takes the window's events and runs the editor's idle; false once the user has closed the window.
    bool idle();
    void setTitle(const std::string& title);

private:
    EditorWindow() = default;

    Display* fDisplay = nullptr;
    unsigned long fWindow = 0;
    unsigned long fDeleteAtom = 0;
    bool fClosed = false;
    std::unique_ptr<SynthEditor> fEditor;
};
