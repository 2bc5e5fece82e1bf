#include "shadowItem.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <QSGImageNode>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <malloc.h>
#include <vector>

namespace {

constexpr qreal halfResolutionBlur = 12;

// Three box blurs in a row approximate a Gaussian of standard deviation sigma.
std::array<int, 3> boxRadii(qreal sigma) {
    constexpr int passes = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / passes + 1.0);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    const int upper = lower + 2;
    const double m =
        (12.0 * sigma * sigma - passes * lower * lower - 4.0 * passes * lower - 3.0 * passes) /
        (-4.0 * lower - 4.0);
    const int lowerCount = int(std::lround(m));
    std::array<int, 3> radii{};
    for (int i = 0; i < passes; ++i)
        radii[i] = ((i < lowerCount ? lower : upper) - 1) / 2;
    return radii;
}

// One box pass along a row, with a running sum; outside the row counts as empty.
void boxRow(const float *from, float *to, int length, int radius) {
    const float scale = 1.0f / float(2 * radius + 1);
    auto at = [&](int i) { return (i < 0 || i >= length) ? 0.0f : from[i]; };
    float sum = 0;
    for (int i = 0; i <= std::min(radius, length - 1); ++i)
        sum += from[i];
    for (int i = 0; i < length; ++i) {
        to[i] = sum * scale;
        sum += at(i + radius + 1) - at(i - radius);
    }
}

// One box pass down the columns, all columns at once and row by row, which keeps the reads in
// line with memory.
void boxColumns(const std::vector<float> &from, std::vector<float> &to, int width, int height,
                int radius, std::vector<float> &sums) {
    const float scale = 1.0f / float(2 * radius + 1);
    std::fill(sums.begin(), sums.end(), 0.0f);
    for (int y = 0; y <= std::min(radius, height - 1); ++y) {
        const float *row = &from[size_t(y) * width];
        for (int x = 0; x < width; ++x)
            sums[x] += row[x];
    }
    for (int y = 0; y < height; ++y) {
        float *out = &to[size_t(y) * width];
        for (int x = 0; x < width; ++x)
            out[x] = sums[x] * scale;
        const int entering = y + radius + 1;
        const int leaving = y - radius;
        const float *added = entering < height ? &from[size_t(entering) * width] : nullptr;
        const float *dropped = leaving >= 0 ? &from[size_t(leaving) * width] : nullptr;
        if (added && dropped) {
            for (int x = 0; x < width; ++x)
                sums[x] += added[x] - dropped[x];
        } else if (added) {
            for (int x = 0; x < width; ++x)
                sums[x] += added[x];
        } else if (dropped) {
            for (int x = 0; x < width; ++x)
                sums[x] -= dropped[x];
        }
    }
}

void drawSilhouette(QPainter &painter, const ShadowItem::Silhouette &s) {
    const QRectF rect(QPointF(0, 0), s.size);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    switch (s.shape) {
    case ShadowItem::RoundedRect:
        painter.drawRoundedRect(rect, s.radius, s.radius);
        break;
    case ShadowItem::Capsule: {
        const qreal r = std::min(rect.width(), rect.height()) / 2;
        painter.drawRoundedRect(rect, r, r);
        break;
    }
    case ShadowItem::Circle:
        painter.drawEllipse(rect);
        break;
    case ShadowItem::Text:
        painter.setPen(Qt::black);
        painter.setFont(s.font);
        painter.drawText(rect, Qt::AlignHCenter | Qt::AlignTop, s.text);
        break;
    case ShadowItem::Image: {
        const QImage image = s.imagePath.isEmpty() ? QImage() : QImage(s.imagePath);
        if (image.isNull())
            break;
        const QSizeF fitted = QSizeF(image.size()).scaled(s.size, Qt::KeepAspectRatio);
        const QRectF target(
            QPointF((s.size.width() - fitted.width()) / 2, (s.size.height() - fitted.height()) / 2),
            fitted);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image);
        break;
    }
    }
}

} // namespace

ShadowItem::ShadowItem(QQuickItem *parent) : QQuickItem(parent) {
    setFlag(ItemHasContents);
}

void ShadowItem::setColor(const QColor &color) {
    if (color == m_color)
        return;
    m_color = color;
    invalidate();
}

void ShadowItem::setBlurRadius(qreal radius) {
    if (qFuzzyCompare(radius, m_blurRadius))
        return;
    m_blurRadius = radius;
    invalidate();
}

void ShadowItem::setOffsetX(qreal offset) {
    if (qFuzzyCompare(offset, m_offsetX))
        return;
    m_offsetX = offset;
    emit changed();
    update();
}

void ShadowItem::setOffsetY(qreal offset) {
    if (qFuzzyCompare(offset, m_offsetY))
        return;
    m_offsetY = offset;
    emit changed();
    update();
}

void ShadowItem::setShape(Shape shape) {
    if (shape == m_silhouette.shape)
        return;
    m_silhouette.shape = shape;
    invalidate();
}

void ShadowItem::setRadius(qreal radius) {
    if (qFuzzyCompare(radius, m_silhouette.radius))
        return;
    m_silhouette.radius = radius;
    invalidate();
}

void ShadowItem::setText(const QString &text) {
    if (text == m_silhouette.text)
        return;
    m_silhouette.text = text;
    invalidate();
}

void ShadowItem::setFont(const QFont &font) {
    if (font == m_silhouette.font)
        return;
    m_silhouette.font = font;
    invalidate();
}

void ShadowItem::setSource(const QUrl &source) {
    if (source == m_source)
        return;
    m_source = source;
    m_silhouette.imagePath = source.isLocalFile() ? source.toLocalFile() : source.toString();
    invalidate();
}

int ShadowItem::margin(qreal blurRadius) {
    return int(std::ceil(3 * std::max<qreal>(blurRadius, 0))) + 1;
}

QImage ShadowItem::render(const Silhouette &silhouette, const QColor &color, qreal blurRadius,
                          qreal devicePixelRatio) {
    const int m = margin(blurRadius);
    const QSizeF logical = silhouette.size + QSizeF(2 * m, 2 * m);
    // A wide blur leaves nothing finer than a few pixels: half the pixels hold it all, and
    // take a quarter of the memory and time.
    const qreal scale = devicePixelRatio * (blurRadius >= halfResolutionBlur ? 0.5 : 1.0);
    const QSize pixels = (logical * scale).toSize();
    if (pixels.isEmpty() || silhouette.size.isEmpty())
        return {};

    QImage mask(pixels, QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(pixels.width() / logical.width(), pixels.height() / logical.height());
        painter.translate(m, m);
        drawSilhouette(painter, silhouette);
    }

    const int w = pixels.width();
    const int h = pixels.height();
    std::vector<float> a(size_t(w) * h);
    std::vector<float> b(a.size());
    const std::array<int, 3> radii = boxRadii(blurRadius * scale);
    // The row passes and the column passes commute, so all row passes go first. Most rows of a
    // silhouette repeat the row above (the straight sides of a panel), and a row that repeats
    // its neighbour blurs the same: it is copied, not blurred again.
    std::vector<float> row(static_cast<size_t>(w));
    std::vector<float> spare(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        float *out = &a[size_t(y) * w];
        const uchar *line = mask.constScanLine(y);
        if (y > 0 && std::memcmp(line, mask.constScanLine(y - 1), size_t(w)) == 0) {
            std::copy_n(out - w, w, out);
            continue;
        }
        for (int x = 0; x < w; ++x)
            row[x] = line[x] / 255.0f;
        if (blurRadius > 0) {
            for (int radius : radii) {
                boxRow(row.data(), spare.data(), w, radius);
                std::swap(row, spare);
            }
        }
        std::copy_n(row.data(), w, out);
    }
    if (blurRadius > 0) {
        for (int radius : radii) {
            boxColumns(a, b, w, h, radius, row);
            std::swap(a, b);
        }
    }

    QImage image(pixels, QImage::Format_RGBA8888_Premultiplied);
    const float alpha = float(color.alphaF());
    const float red = float(color.redF());
    const float green = float(color.greenF());
    const float blue = float(color.blueF());
    for (int y = 0; y < h; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const float coverage = std::clamp(a[size_t(y) * w + x], 0.0f, 1.0f) * alpha;
            line[4 * x + 0] = uchar(red * coverage * 255 + 0.5f);
            line[4 * x + 1] = uchar(green * coverage * 255 + 0.5f);
            line[4 * x + 2] = uchar(blue * coverage * 255 + 0.5f);
            line[4 * x + 3] = uchar(coverage * 255 + 0.5f);
        }
    }
    image.setDevicePixelRatio(scale);
    return image;
}

void ShadowItem::invalidate() {
    emit changed();
    polish();
}

// Set on a window once it has shown its first frame.
constexpr const char *firstFrameShown = "quaymeterFirstFrameShown";

bool ShadowItem::waitForFirstFrame() {
    QQuickWindow *shownIn = window();
    if (!shownIn || shownIn->property(firstFrameShown).toBool())
        return false;
    if (m_awaitedWindow != shownIn) {
        m_awaitedWindow = shownIn;
        // Queued: the threaded render loop emits frameSwapped on its own thread, the software
        // one inside the frame.
        connect(
            shownIn, &QQuickWindow::frameSwapped, this,
            [this, shownIn] {
                if (!shownIn->property(firstFrameShown).toBool()) {
                    shownIn->setProperty(firstFrameShown, true);
                    // The deferred blurs all run in the next frame's polish. Their scratch
                    // buffers, freed by then, would otherwise stay with the process.
                    connect(
                        shownIn, &QQuickWindow::frameSwapped, shownIn, [] { malloc_trim(0); },
                        Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
                }
                polish();
            },
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    }
    return true;
}

void ShadowItem::updatePolish() {
    // The blurs together take tens of milliseconds that the window's first frame need not wait
    // for: it shows without its glows, and they come on the frame after.
    if (waitForFirstFrame())
        return;
    m_silhouette.size = size();
    const qreal dpr = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    // An unlit glow (the port field's while it has no focus) or a picture without a file costs a
    // blur for nothing.
    const bool blank =
        m_color.alpha() == 0 || (m_silhouette.shape == Image && m_silhouette.imagePath.isEmpty());
    m_image = blank ? QImage() : render(m_silhouette, m_color, m_blurRadius, dpr);
    const int m = margin(m_blurRadius);
    m_renderedSize = m_silhouette.size + QSizeF(2 * m, 2 * m);
    m_hasImage = !m_image.isNull();
    m_imageChanged = true;
    update();
}

void ShadowItem::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) {
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        polish();
}

void ShadowItem::itemChange(ItemChange change, const ItemChangeData &value) {
    QQuickItem::itemChange(change, value);
    if (change == ItemDevicePixelRatioHasChanged || change == ItemSceneChange)
        polish();
}

QSGNode *ShadowItem::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) {
    auto *node = static_cast<QSGImageNode *>(oldNode);
    if (m_imageChanged) {
        // A new image gets a new node, which owns its texture, so no texture outlives its node.
        delete node;
        node = nullptr;
        m_imageChanged = false;
        if (!m_image.isNull()) {
            node = window()->createImageNode();
            node->setTexture(window()->createTextureFromImage(m_image));
            node->setOwnsTexture(true);
            node->setFiltering(QSGTexture::Linear);
            m_pixelSize = m_image.size();
            m_logicalSize = m_renderedSize;
            // The texture has the pixels now; a second copy here would only take memory.
            m_image = QImage();
        }
    } else if (!node && m_hasImage) {
        // The scene graph let go of the node (and the texture with it): draw the glow again.
        QMetaObject::invokeMethod(this, &QQuickItem::polish, Qt::QueuedConnection);
    }
    if (!node)
        return nullptr;
    const int m = margin(m_blurRadius);
    node->setRect(QRectF(QPointF(m_offsetX - m, m_offsetY - m), m_logicalSize));
    node->setSourceRect(QRectF(QPointF(0, 0), m_pixelSize));
    return node;
}
