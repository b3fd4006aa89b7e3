// Container views: ownership of children, composition through an offscreen image, input routing.
#include "ViewContainer.h"

#include "Frame.h"

namespace toolkit
{

ViewContainer::ViewContainer(const Rect& size, Frame* frame, Colour background)
    : View(size), fBackground(background), fOwnFrame(frame)
{
}

ViewContainer::~ViewContainer()
{
    removeAll();
}

void ViewContainer::adopt(std::unique_ptr<View> child)
{
    if (child == nullptr)
        return;
    View* raw = child.get();
    fChildren.push_back(std::move(child));
    raw->attached(this);
    setDirty();
}

void ViewContainer::removeAll()
{
    // Last added first, so that no child outlives what it was placed on.
    while (!fChildren.empty())
    {
        fChildren.back()->removed(this);
        fChildren.pop_back();
    }
}

Frame* ViewContainer::getFrame() const
{
    if (fParent != nullptr)
        return fParent->getFrame();
    return fOwnFrame;
}

bool ViewContainer::isDirty() const
{
    if (fDirty)
        return true;
    for (const auto& c : fChildren)
        if (c->isDirty())
            return true;
    return false;
}

void ViewContainer::drawBackground(DrawContext& context)
{
    cairo_t* cr = cairo_create(context.surface());
    cairo_set_source_rgb(cr, fBackground.red / 255.0, fBackground.green / 255.0, fBackground.blue / 255.0);
    cairo_rectangle(cr, context.getOffset().x, context.getOffset().y, fRect.width(), fRect.height());
    cairo_fill(cr);
    cairo_destroy(cr);
}

void ViewContainer::drawChildren(DrawContext& context)
{
    for (const auto& c : fChildren)
        c->draw(context);
}

void ViewContainer::draw(DrawContext& context)
{
    if (fUseOffscreen)
    {
        if (fOffscreen == nullptr)
            fOffscreen = std::make_unique<OffscreenContext>(fRect.width(), fRect.height(), fBackground, getFrame());
        drawBackground(*fOffscreen);
        drawChildren(*fOffscreen);
        fOffscreen->copyTo(context, fRect);
    }
    else
    {
        Point outer = context.getOffset();
        OriginScope inside(context, {outer.x + fRect.left, outer.y + fRect.top});
        drawBackground(context);
        drawChildren(context);
    }
    setDirty(false);
}

View* ViewContainer::childAt(Point local) const
{
    for (auto it = fChildren.rbegin(); it != fChildren.rend(); ++it)
        if ((*it)->getMouseEnabled() && (*it)->getRect().contains(local))
            return it->get();
    return nullptr;
}

void ViewContainer::mouse(DrawContext& context, Point where)
{
    Point local{where.x - fRect.left, where.y - fRect.top};
    View* target = childAt(local);
    if (target == nullptr)
        return;
    Point outer = context.getOffset();
    OriginScope inside(context, {outer.x + fRect.left, outer.y + fRect.top});
    target->mouse(context, local);
}

bool ViewContainer::onWheel(DrawContext& context, Point where, float distance)
{
    Point local{where.x - fRect.left, where.y - fRect.top};
    View* target = childAt(local);
    if (target == nullptr)
        return false;
    Point outer = context.getOffset();
    OriginScope inside(context, {outer.x + fRect.left, outer.y + fRect.top});
    return target->onWheel(context, local, distance);
}

bool ViewContainer::onDrop(const char* const* items, int count, int kind, Point where)
{
    Point local{where.x - fRect.left, where.y - fRect.top};
    for (auto it = fChildren.rbegin(); it != fChildren.rend(); ++it)
        if ((*it)->getRect().contains(local))
            return (*it)->onDrop(items, count, kind, local);
    return false;
}

} // namespace toolkit
