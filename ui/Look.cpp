#include "ui/Look.h"

#include <QFrame>
#include <QRegion>
#include <QWidget>

namespace rix::ui {

QFont FormFont() {
    static const bool substituted = [] {
        QFont::insertSubstitutions(
            QStringLiteral("MS Sans Serif"),
            {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans Condensed"),
             QStringLiteral("Liberation Sans Narrow"), QStringLiteral("DejaVu Sans")});
        return true;
    }();
    (void)substituted;
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

void PlaceChildrenInClientArea(QFrame* panel) {
    const QRect client = panel->contentsRect();
    for (QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        child->move(child->pos() + client.topLeft());
        // A child reaching past the client area is cut off at its edge, frame included.
        const QRect visible = client.translated(-child->pos()).intersected(child->rect());
        if (visible != child->rect()) {
            child->setMask(QRegion(visible));
        }
    }
}

} // namespace rix::ui
