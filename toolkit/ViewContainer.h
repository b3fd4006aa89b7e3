// A view that owns ordered child views in its own coordinates and draws them through an offscreen image.
#pragma once

#include "View.h"

#include <memory>
#include <vector>

namespace toolkit
{

class ViewContainer : public View
{
public:
    ViewContainer(const Rect& size, Frame* frame, Colour background);
    ~ViewContainer() override;

    // Takes ownership and tells the child it is attached; returns the child for further set-up.
    template <typename T>
    T* addView(std::unique_ptr<T> child)
    {
        T* raw = child.get();
        adopt(std::unique_ptr<View>(std::move(child)));
        return raw;
    }
    void removeAll();

    void draw(DrawContext& context) override;
    void mouse(DrawContext& context, Point where) override;
    bool onWheel(DrawContext& context, Point where, float distance) override;
    bool onDrop(const char* const* items, int count, int kind, Point where) override;
    bool isDirty() const override;
    bool isContainer() const override { return true; }
    Frame* getFrame() const override;

    Colour getBackColour() const { return fBackground; }
    void setBackColour(Colour colour) { fBackground = colour; }
    void setOffscreenDrawing(bool enabled) { fUseOffscreen = enabled; }
    size_t childCount() const { return fChildren.size(); }
    View* child(size_t index) const { return index < fChildren.size() ? fChildren[index].get() : nullptr; }
    // The topmost mouse-enabled child under a point in this container's coordinates.
    View* childAt(Point local) const;

protected:
    // Paints what lies under the children, in the container's own coordinates.
    virtual void drawBackground(DrawContext& context);
    void drawChildren(DrawContext& context);

    std::vector<std::unique_ptr<View>> fChildren;
    Colour fBackground;
    bool fUseOffscreen = true;
    std::unique_ptr<OffscreenContext> fOffscreen;
    Frame* fOwnFrame = nullptr;

private:
    void adopt(std::unique_ptr<View> child);
};

} // namespace toolkit
