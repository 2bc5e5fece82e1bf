#include "canvasBackground.h"

#include <QQuickWindow>
#include <QSGImageNode>
#include <algorithm>
#include <array>
#include <cmath>

namespace {

// A quarter of the window's pixels across: the gradients change by far less than a step of colour
// over four pixels, and stretched back with linear filtering show the same.
constexpr qreal resolution = 0.25;

} // namespace

CanvasBackground::CanvasBackground(QQuickItem *parent) : QQuickItem(parent) {
    setFlag(ItemHasContents);
}

void CanvasBackground::setTopColor(const QColor &color) {
    assign(m_topColor, color);
}

void CanvasBackground::setBottomColor(const QColor &color) {
    assign(m_bottomColor, color);
}

void CanvasBackground::setGlowInnerColor(const QColor &color) {
    assign(m_glowInner, color);
}

void CanvasBackground::setGlowMiddleColor(const QColor &color) {
    assign(m_glowMiddle, color);
}

void CanvasBackground::setGlowInnerRadius(qreal radius) {
    assign(m_glowInnerRadius, radius);
}

void CanvasBackground::setGlowOuterRadius(qreal radius) {
    assign(m_glowOuterRadius, radius);
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
    // Opaque, and said to be: the scene graph then draws it without blending and skips whatever
    // it covers.
    QImage image(pixels, QImage::Format_RGB32);
    // Worked out per pixel rather than painted: QPainter's radial gradient with an inner radius
    // takes milliseconds of the first frame for this.
    const float toLogicalX = float(size.width() / pixels.width());
    const float toLogicalY = float(size.height() / pixels.height());
    const float alongX =
        float(size.width() / (size.width() * size.width() + size.height() * size.height()));
    const float alongY =
        float(size.height() / (size.width() * size.width() + size.height() * size.height()));
    const float innerRadius = float(m_glowInnerRadius);
    const float glowScale = 1.0f / std::max(float(m_glowOuterRadius - m_glowInnerRadius), 1e-6f);
    using Colour = std::array<float, 4>;
    auto channels = [](QRgb c) {
        return Colour{float(qRed(c)), float(qGreen(c)), float(qBlue(c)), float(qAlpha(c))};
    };
    const Colour top = channels(m_topColor.rgba()), bottom = channels(m_bottomColor.rgba());
    const Colour inner = channels(qPremultiply(m_glowInner.rgba()));
    const Colour middle = channels(qPremultiply(m_glowMiddle.rgba()));
    for (int row = 0; row < pixels.height(); ++row) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(row));
        const float y = (float(row) + 0.5f) * toLogicalY;
        for (int column = 0; column < pixels.width(); ++column) {
            const float x = (float(column) + 0.5f) * toLogicalX;
            const float along = std::clamp(x * alongX + y * alongY, 0.0f, 1.0f);
            const float t =
                std::clamp((std::sqrt(x * x + y * y) - innerRadius) * glowScale, 0.0f, 1.0f);
            // Between premultiplied colours, as QGradient does; the last stop is transparent.
            const float s = t < 0.5f ? 2 * t : 2 * t - 1;
            Colour glow{};
            for (int i = 0; i < 4; ++i)
                glow[i] = t < 0.5f ? inner[i] + (middle[i] - inner[i]) * s : middle[i] * (1 - s);
            // Source-over onto the opaque canvas.
            const float keep = 1.0f - glow[3] / 255.0f;
            int out[3];
            for (int i = 0; i < 3; ++i)
                out[i] = int(glow[i] + (top[i] + (bottom[i] - top[i]) * along) * keep + 0.5f);
            line[column] = qRgb(out[0], out[1], out[2]);
        }
    }
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
