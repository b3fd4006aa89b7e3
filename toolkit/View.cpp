// The view base: default input handling and the way up to the frame.
#include "View.h"

#include "Frame.h"

namespace toolkit
{

void View::draw(DrawContext&)
{
    setDirty(false);
}

void View::update(DrawContext& context)
{
    if (isDirty())
        draw(context);
}

void View::mouse(DrawContext&, Point) {}

bool View::onWheel(DrawContext&, Point, float)
{
    return false;
}

int32_t View::onKeyDown(KeyCode&)
{
    return -1;
}

int32_t View::onKeyUp(KeyCode&)
{
    return -1;
}

bool View::onDrop(const char* const*, int, int, Point)
{
    return false;
}

void View::attached(View* parent)
{
    fParent = parent;
}

void View::removed(View*)
{
    fParent = nullptr;
}

Frame* View::getFrame() const
{
    return fParent != nullptr ? fParent->getFrame() : nullptr;
}

Point View::parentOrigin() const
{
    Point origin;
    for (const View* v = fParent; v != nullptr; v = v->getParent())
    {
        origin.x += v->getRect().left;
        origin.y += v->getRect().top;
    }
    return origin;
}

} // namespace toolkit
