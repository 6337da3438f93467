#include "icon_art.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cstdio>
#include <vector>

namespace qira::artgen {
namespace {

// The icon is designed on a 256-unit square.
constexpr double kDesignSize = 256;
constexpr std::array kPngSizes{16, 22, 24, 32, 48, 64, 128, 256};

struct Shape {
    enum class Kind { RoundedRect, Circle } kind;
    QRectF box;  // for a circle, its bounding square
    double radius = 0;
    QColor fill;
    QColor stroke = Qt::transparent;
    double strokeWidth = 0;
};

std::vector<Shape> IconShapes() {
    const QColor back(31, 122, 77);
    const QColor face(248, 242, 222);
    const QColor rim(190, 176, 140);
    const QColor red(192, 45, 38);
    const QColor blue(28, 84, 160);
    const QColor green(34, 139, 84);
    const auto circle = [](double cx, double cy, double r) {
        return QRectF(cx - r, cy - r, 2 * r, 2 * r);
    };
    return {
        {Shape::Kind::RoundedRect, QRectF(36, 24, 184, 220), 28, back},
        {Shape::Kind::RoundedRect, QRectF(36, 12, 184, 206), 28, face, rim, 6},
        {Shape::Kind::Circle, circle(128, 115, 70), 0, green},
        {Shape::Kind::Circle, circle(128, 115, 56), 0, face, red, 14},
        {Shape::Kind::Circle, circle(128, 115, 30), 0, blue},
        {Shape::Kind::Circle, circle(128, 115, 12), 0, face},
    };
}

QString SvgColor(const QColor& color) {
    return color.alpha() == 0 ? QStringLiteral("none") : color.name(QColor::HexRgb);
}

QString SvgText() {
    QString svg = QStringLiteral(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        "viewBox=\"0 0 256 256\">\n");
    for (const Shape& shape : IconShapes()) {
        const QString paint = QStringLiteral(" fill=\"%1\" stroke=\"%2\" stroke-width=\"%3\"/>\n")
                                  .arg(SvgColor(shape.fill), SvgColor(shape.stroke))
                                  .arg(shape.strokeWidth);
        if (shape.kind == Shape::Kind::Circle) {
            svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\"")
                       .arg(shape.box.center().x())
                       .arg(shape.box.center().y())
                       .arg(shape.box.width() / 2) +
                   paint;
        } else {
            svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\"")
                       .arg(shape.box.x())
                       .arg(shape.box.y())
                       .arg(shape.box.width())
                       .arg(shape.box.height())
                       .arg(shape.radius) +
                   paint;
        }
    }
    return svg + QStringLiteral("</svg>\n");
}

QImage PngOfSize(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kDesignSize, size / kDesignSize);
    for (const Shape& shape : IconShapes()) {
        painter.setBrush(shape.fill);
        painter.setPen(shape.strokeWidth > 0 ? QPen(shape.stroke, shape.strokeWidth) : Qt::NoPen);
        if (shape.kind == Shape::Kind::Circle)
            painter.drawEllipse(shape.box);
        else
            painter.drawRoundedRect(shape.box, shape.radius, shape.radius);
    }
    return image;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).dir().absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) return true;
    std::fprintf(stderr, "qira-artgen: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

bool GenerateDesktopIcons(const QString& iconRoot, const QString& name) {
    bool ok = WriteFile(iconRoot + "/hicolor/scalable/apps/" + name + ".svg", SvgText().toUtf8());
    for (const int size : kPngSizes) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(iconRoot).arg(size);
        QDir().mkpath(folder);
        const QString path = folder + "/" + name + ".png";
        if (!PngOfSize(size).save(path, "PNG")) {
            std::fprintf(stderr, "qira-artgen: cannot write %s\n", qPrintable(path));
            ok = false;
        }
    }
    return ok;
}

}  // namespace qira::artgen
