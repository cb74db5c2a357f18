#include "CKeptTraces.h"

#include <new>

QPainter* CKeptTraces::Begin(uint32_t srcId, const View& view)
{
    if (view.width <= 0 || view.height <= 0) {
        Drop(srcId);
        return nullptr;
    }
    Layer* layer = nullptr;
    try {
        layer = &m_layers[srcId];
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    const QSize size(view.width, view.height);
    if (layer->image.size() != size) {
        // A painter must let go of its image before the image goes.
        layer->painter.reset();
        layer->image = QImage(size, QImage::Format_ARGB32_Premultiplied);
        if (!layer->image.isNull())
            layer->painter.reset(new (std::nothrow) QPainter(&layer->image));
        if (!layer->painter || !layer->painter->isActive()) {
            Drop(srcId);
            return nullptr;
        }
    }
    layer->image.fill(Qt::transparent);
    layer->view = view;
    layer->kept = true;
    m_drawing = srcId;
    m_dropDrawing = false;
    return layer->painter.get();
}

void CKeptTraces::End()
{
    if (m_drawing != kNone && m_dropDrawing)
        m_layers.erase(m_drawing);
    m_drawing = kNone;
    m_dropDrawing = false;
}

const QImage* CKeptTraces::Recall(uint32_t srcId, const View& view)
{
    auto it = m_layers.find(srcId);
    if (it == m_layers.end() || !it->second.kept)
        return nullptr;
    if (!(it->second.view == view)) {
        it->second.kept = false;
        return nullptr;
    }
    return &it->second.image;
}

bool CKeptTraces::Holds(uint32_t srcId) const
{
    auto it = m_layers.find(srcId);
    return it != m_layers.end() && it->second.kept;
}

void CKeptTraces::Forget(uint32_t srcId)
{
    auto it = m_layers.find(srcId);
    if (it != m_layers.end())
        it->second.kept = false;
}

void CKeptTraces::Drop(uint32_t srcId)
{
    if (srcId != m_drawing) {
        m_layers.erase(srcId);
        return;
    }
    Forget(srcId);
    m_dropDrawing = true;
}

void CKeptTraces::Clear()
{
    for (auto it = m_layers.begin(); it != m_layers.end();)
        if (it->first == m_drawing)
            ++it;
        else
            it = m_layers.erase(it);
    if (m_drawing != kNone)
        Drop(m_drawing);
}
