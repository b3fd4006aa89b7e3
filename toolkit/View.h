// The base of everything on screen: a rectangle in its parent's coordinates, a dirty flag and input hooks.
#pragma once

#include "DrawContext.h"
#include "Geometry.h"

#include <cstdint>

namespace toolkit
{

class Frame;

// A key as the host passes it: a character, a virtual key (11..14 are left, up, right, down) and modifiers.
struct KeyCode
{
    int32_t character = 0;
    unsigned char virt = 0;
    unsigned char modifier = 0;
};

enum VirtualKey : unsigned char
{
    kKeyLeft = 11,
    kKeyUp = 12,
    kKeyRight = 13,
    kKeyDown = 14,
};

constexpr unsigned char kModifierShift = 1;

// What a drop brings: paths of files, or anything else.
enum DropKind : int
{
    kDropFiles = 0,
    kDropText = 1,
};

class View
{
public:
    explicit View(const Rect& size) : fRect(size) {}
    virtual ~View() = default;

    View(const View&) = delete;
    View& operator=(const View&) = delete;

    virtual void draw(DrawContext& context);
    // Draws the view when it is dirty.
    virtual void update(DrawContext& context);
    virtual void mouse(DrawContext& context, Point where);
    virtual bool onWheel(DrawContext& context, Point where, float distance);
    virtual int32_t onKeyDown(KeyCode& key);
    virtual int32_t onKeyUp(KeyCode& key);
    // Files or text dropped on the view; where is in the parent's coordinates.
    virtual bool onDrop(const char* const* items, int count, int kind, Point where);
    virtual void attached(View* parent);
    virtual void removed(View* parent);
    // The view has lost the keyboard focus.
    virtual void looseFocus() {}

    virtual bool isDirty() const { return fDirty; }
    virtual void setDirty(bool dirty = true) { fDirty = dirty; }
    virtual bool isContainer() const { return false; }
    virtual Frame* getFrame() const;

    const Rect& getRect() const { return fRect; }
    void setRect(const Rect& r) { fRect = r; }
    bool getMouseEnabled() const { return fMouseEnabled; }
    void setMouseEnabled(bool enabled) { fMouseEnabled = enabled; }
    View* getParent() const { return fParent; }
    // The corner of the parent's coordinate system in frame coordinates.
    Point parentOrigin() const;

protected:
    Rect fRect;
    bool fDirty = false;
    bool fMouseEnabled = true;
    View* fParent = nullptr;
};

} // namespace toolkit
