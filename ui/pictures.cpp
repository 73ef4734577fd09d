// SVG rendering through QSvgRenderer, so no image-format plugin has to be installed.

#include "ui/pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

// Resources compiled into a static library are dropped by the linker unless something refers to
// them; this reference keeps them, and it must sit outside any namespace.
static void EnsureUiResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(ui);
        return true;
    }();
    (void)registered;
}

namespace Framework {

QPixmap RenderPicture(const QString &resource, QSize size) {
    EnsureUiResources();
    QSvgRenderer renderer(resource);
    if (!renderer.isValid() || size.isEmpty()) return QPixmap();
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace Framework
