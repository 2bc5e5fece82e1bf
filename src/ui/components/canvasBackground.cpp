#include "canvasBackground.h"

#include <QPainter>
#include <QQuickWindow>
#include <QSGImageNode>

namespace {

// Half the window's pixels: the gradients vary by far less than a step of colour per pixel.
constexpr qreal resolution = 0.5;

} // namespace

CanvasBackground::CanvasBackground(QQuickItem *parent) : QQuickItem(parent) {
    setFlag(ItemHasContents);
}

void CanvasBackground::setTopColor(const QColor &color) {
    if (color != m_topColor) {
        m_topColor = color;
        invalidate();
    }
}

void CanvasBackground::setBottomColor(const QColor &color) {
    if (color != m_bottomColor) {
        m_bottomColor = color;
        invalidate();
    }
}

void CanvasBackground::setGlowInnerColor(const QColor &color) {
    if (color != m_glowInner) {
        m_glowInner = color;
        invalidate();
    }
}

void CanvasBackground::setGlowMiddleColor(const QColor &color) {
    if (color != m_glowMiddle) {
        m_glowMiddle = color;
        invalidate();
    }
}

void CanvasBackground::setGlowInnerRadius(qreal radius) {
    if (radius != m_glowInnerRadius) {
        m_glowInnerRadius = radius;
        invalidate();
    }
}

void CanvasBackground::setGlowOuterRadius(qreal radius) {
    if (radius != m_glowOuterRadius) {
        m_glowOuterRadius = radius;
        invalidate();
    }
}

void CanvasBackground::invalidate() {
    m_dirty = true;
    emit changed();
    update();
}

void CanvasBackground::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size()) {
        m_dirty = true;
        update();
    }
}

QImage CanvasBackground::render(QSizeF size, qreal scale) const {
    const QSize pixels = (size * scale).toSize().expandedTo(QSize(1, 1));
    QImage image(pixels, QImage::Format_RGBA8888_Premultiplied);
    QPainter painter(&image);
    painter.scale(qreal(pixels.width()) / size.width(), qreal(pixels.height()) / size.height());
    const QRectF rect(QPointF(0, 0), size);
    QLinearGradient canvas(rect.topLeft(), rect.bottomRight());
    canvas.setColorAt(0, m_topColor);
    canvas.setColorAt(1, m_bottomColor);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect, canvas);
    QRadialGradient glow(QPointF(0, 0), m_glowOuterRadius, QPointF(0, 0), m_glowInnerRadius);
    glow.setColorAt(0, m_glowInner);
    glow.setColorAt(0.5, m_glowMiddle);
    glow.setColorAt(1, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(rect, glow);
    return image;
}

QSGNode *CanvasBackground::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) {
    auto *node = static_cast<QSGImageNode *>(oldNode);
    if (size().isEmpty()) {
        delete node;
        return nullptr;
    }
    if (!node || m_dirty) {
        // A new picture gets a new node, which owns its texture, so no texture outlives its node.
        delete node;
        node = window()->createImageNode();
        node->setTexture(window()->createTextureFromImage(
            render(size(), resolution * window()->effectiveDevicePixelRatio())));
        node->setOwnsTexture(true);
        node->setFiltering(QSGTexture::Linear);
        m_dirty = false;
    }
    node->setRect(boundingRect());
    return node;
}
