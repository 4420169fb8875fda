// Draws the program's artwork: the main window's banner, the program icon and the handheld
// picture of the ROM configuration dialog. The PNGs beside this file are its output; run it
// again only to change them:
//   cmake --build --preset default --target rix-draw-art
//   QT_QPA_PLATFORM=offscreen build/default/ui/rix-draw-art resources/art
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>
#include <string>

namespace {

const QColor kBody(0x55, 0x52, 0xA3);
const QColor kBodyEdge(0x3A, 0x37, 0x7A);
const QColor kShoulder(0x9C, 0x9A, 0xB8);
const QColor kBezel(0x2A, 0x2A, 0x38);
const QColor kScreen(0x9F, 0xB8, 0x8E);
const QColor kKeys(0x2E, 0x2D, 0x45);
const QColor kInk(0x1B, 0x1E, 0x3C);

QFont Face(int pixels, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

bool Save(const QImage& image, const QString& directory, const char* name) {
    const QString path = directory + QLatin1Char('/') + QLatin1String(name);
    // 24-bit colour, no alpha.
    if (!image.convertToFormat(QImage::Format_RGB888).save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// A small front view of the handheld, `width` pixels wide, centred on `centre`.
void DrawHandheld(QPainter& p, QPointF centre, qreal width, bool details) {
    const qreal w = width;
    const qreal h = width * 0.6;
    const QRectF body(centre.x() - w / 2, centre.y() - h / 2, w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(kBody);
    p.drawRoundedRect(body, h * 0.34, h * 0.34);
    const QRectF screen(centre.x() - w * 0.24, centre.y() - h * 0.32, w * 0.48, h * 0.6);
    p.setBrush(kBezel);
    p.drawRoundedRect(screen, w * 0.03, w * 0.03);
    p.setBrush(kScreen);
    p.drawRect(screen.adjusted(w * 0.04, h * 0.07, -w * 0.04, -h * 0.07));
    if (!details) {
        return;
    }
    p.setBrush(kKeys);
    const qreal arm = w * 0.05;
    const QPointF pad(body.left() + w * 0.14, centre.y() - h * 0.05);
    p.drawRect(QRectF(pad.x() - arm * 1.5, pad.y() - arm / 2, arm * 3, arm));
    p.drawRect(QRectF(pad.x() - arm / 2, pad.y() - arm * 1.5, arm, arm * 3));
    p.drawEllipse(QPointF(body.right() - w * 0.1, centre.y() - h * 0.12), arm * 0.8, arm * 0.8);
    p.drawEllipse(QPointF(body.right() - w * 0.17, centre.y() + h * 0.02), arm * 0.8, arm * 0.8);
}

QImage Banner() {
    QImage image(530, 80, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 530, 0);
    sky.setColorAt(0.0, QColor(0xFF, 0xFF, 0xFF));
    sky.setColorAt(0.55, QColor(0xE9, 0xEA, 0xF7));
    sky.setColorAt(1.0, QColor(0xB9, 0xB8, 0xE6));
    p.fillRect(image.rect(), sky);

    // A row of pixel tiles along the foot, fading in towards the right.
    const QColor tiles[] = {QColor(0xE0, 0x4F, 0x5F), QColor(0xF2, 0xB1, 0x34),
                            QColor(0x4C, 0xB0, 0x6C), QColor(0x3E, 0x8E, 0xD0),
                            QColor(0x8E, 0x5C, 0xC4)};
    for (int i = 0; i < 40; ++i) {
        QColor c = tiles[i % 5];
        c.setAlpha(20 + i * 5);
        p.fillRect(QRect(130 + i * 10, 72, 8, 5), c);
    }

    p.setFont(Face(46, true));
    p.setPen(QColor(0xC8, 0xC8, 0xE4));
    p.drawText(QPoint(22, 66), QStringLiteral("Rix"));
    p.setPen(kInk);
    p.drawText(QPoint(20, 64), QStringLiteral("Rix"));

    p.setFont(Face(15, true));
    p.setPen(kInk);
    p.drawText(QPoint(122, 40), QStringLiteral("Colecovision Emulator"));
    p.setFont(Face(12, false));
    p.setPen(QColor(0x4A, 0x4D, 0x6E));
    p.drawText(QPoint(122, 58), QStringLiteral("Your Colecovision games on the Game Boy Advance"));

    DrawHandheld(p, QPointF(478, 36), 74, true);
    return image;
}

QImage Icon(int size) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawHandheld(p, QPointF(size / 2.0, size / 2.0), size * 0.98, size >= 32);
    return image;
}

// The dialog's picture: 639 x 320 on white, the handheld seen from the front, a black
// call-out label for each of its six buttons (each under one of the dialog's button boxes)
// and a three-pixel black line from each label to its button.
QImage Handheld() {
    QImage image(639, 320, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    // Shoulder buttons, behind the top corners of the body.
    const QRectF shoulderL(150, 38, 96, 34);
    const QRectF shoulderR(393, 38, 96, 34);
    p.setBrush(kShoulder);
    p.drawRoundedRect(shoulderL, 14, 14);
    p.drawRoundedRect(shoulderR, 14, 14);

    // Body, with a darker rim.
    const QRectF body(120, 52, 400, 236);
    p.setBrush(kBodyEdge);
    p.drawRoundedRect(body, 84, 84);
    QLinearGradient shade(0, body.top(), 0, body.bottom());
    shade.setColorAt(0.0, kBody.lighter(118));
    shade.setColorAt(1.0, kBody);
    p.setBrush(shade);
    p.drawRoundedRect(body.adjusted(3, 3, -3, -3), 81, 81);

    // Screen in its bezel.
    const QRectF bezel(222, 78, 196, 150);
    p.setBrush(kBezel);
    p.drawRoundedRect(bezel, 12, 12);
    const QRectF screen(238, 94, 164, 112);
    QLinearGradient glass(screen.topLeft(), screen.bottomRight());
    glass.setColorAt(0.0, kScreen.lighter(112));
    glass.setColorAt(1.0, kScreen.darker(108));
    p.setBrush(glass);
    p.drawRect(screen);
    p.setFont(Face(11, true));
    p.setPen(QColor(0xCF, 0xCF, 0xE0));
    p.drawText(QRectF(bezel.left(), screen.bottom() + 2, bezel.width(), 20), Qt::AlignCenter,
               QStringLiteral("RIX"));
    p.setPen(Qt::NoPen);

    // Direction pad.
    p.setBrush(kKeys);
    const QPointF pad(182, 150);
    p.drawRoundedRect(QRectF(pad.x() - 27, pad.y() - 9, 54, 18), 3, 3);
    p.drawRoundedRect(QRectF(pad.x() - 9, pad.y() - 27, 18, 54), 3, 3);

    // A and B.
    const QPointF buttonA(468, 140);
    const QPointF buttonB(434, 170);
    p.drawEllipse(buttonA, 15, 15);
    p.drawEllipse(buttonB, 15, 15);
    p.setFont(Face(11, true));
    p.setPen(QColor(0xDD, 0xDC, 0xF0));
    p.drawText(QRectF(buttonA.x() - 15, buttonA.y() - 15, 30, 30), Qt::AlignCenter,
               QStringLiteral("A"));
    p.drawText(QRectF(buttonB.x() - 15, buttonB.y() - 15, 30, 30), Qt::AlignCenter,
               QStringLiteral("B"));
    p.setPen(Qt::NoPen);

    // Start above Select, below the pad.
    const QRectF start(164, 231, 28, 10);
    const QRectF select(164, 254, 28, 10);
    p.setBrush(kKeys);
    p.drawRoundedRect(start, 5, 5);
    p.drawRoundedRect(select, 5, 5);
    p.setFont(Face(8, true));
    p.setPen(QColor(0xDD, 0xDC, 0xF0));
    p.drawText(QPointF(198, 240), QStringLiteral("START"));
    p.drawText(QPointF(198, 263), QStringLiteral("SELECT"));
    p.setPen(Qt::NoPen);

    // Speaker holes.
    p.setBrush(kBodyEdge);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            p.drawEllipse(QPointF(444 + column * 9 + row * 4, 236 + row * 9), 2.2, 2.2);
        }
    }

    // Call-out labels (79 x 21) and their lines.
    struct Callout {
        QRect label;
        QPointF from;
        QPointF to;
        const char* text;
    };
    const Callout callouts[] = {
        {QRect(188, 0, 79, 21), QPointF(227, 20), QPointF(204, 42), "L"},
        {QRect(372, 0, 79, 21), QPointF(411, 20), QPointF(436, 42), "R"},
        {QRect(0, 236, 79, 21), QPointF(78, 246), QPointF(165, 236), "START"},
        {QRect(0, 264, 79, 21), QPointF(78, 274), QPointF(165, 259), "SELECT"},
        {QRect(560, 160, 79, 21), QPointF(561, 170), QPointF(481, 143), "A"},
        {QRect(560, 188, 79, 21), QPointF(561, 198), QPointF(447, 174), "B"},
    };
    QPen line(Qt::black, 3);
    line.setCapStyle(Qt::RoundCap);
    for (const Callout& c : callouts) {
        p.setPen(line);
        p.drawLine(c.from, c.to);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawEllipse(c.to, 3, 3);
        p.fillRect(c.label, Qt::black);
        p.setFont(Face(10, true));
        p.setPen(Qt::white);
        p.drawText(c.label, Qt::AlignCenter, QLatin1String(c.text));
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: rix-draw-art <output directory>\n");
        return 2;
    }
    const QString directory = QString::fromLocal8Bit(argv[1]);
    bool ok =
        Save(Banner(), directory, "banner.png") && Save(Handheld(), directory, "handheld.png");
    // 16 to 48 for the windows, all of them for the desktop's menu (the package's icon theme).
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        const std::string name = "icon-" + std::to_string(size) + ".png";
        ok = ok && Save(Icon(size), directory, name.c_str());
    }
    return ok ? 0 : 1;
}
