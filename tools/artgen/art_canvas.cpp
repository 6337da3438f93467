#include "art_canvas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainterPath>
#include <cstdio>

namespace qira::artgen {

ArtWriter::ArtWriter(const QString& programFolder)
    : gameFolder_(QDir(programFolder).absolutePath()),
      sharedFolder_(QFileInfo(QDir(programFolder).absolutePath()).dir().absolutePath()) {}

QString ArtWriter::GamePath(const QString& relativePath) const {
    return gameFolder_ + "/" + relativePath;
}

QString ArtWriter::SharedPath(const QString& relativePath) const {
    return sharedFolder_ + "/" + relativePath;
}

void ArtWriter::Save(const QString& path, const QImage& image, const char* format) {
    QDir().mkpath(QFileInfo(path).dir().absolutePath());
    if (!image.save(path, format)) {
        std::fprintf(stderr, "qira-artgen: cannot write %s\n", qPrintable(path));
        failed_ = true;
        return;
    }
    ++filesWritten_;
}

void ArtWriter::SaveGameBitmap(const QString& relativePath, const QImage& image) {
    Save(GamePath(relativePath), image.convertToFormat(QImage::Format_RGB32), "BMP");
}

void ArtWriter::SaveSharedBitmap(const QString& relativePath, const QImage& image) {
    Save(SharedPath(relativePath), image.convertToFormat(QImage::Format_RGB32), "BMP");
}

void ArtWriter::SaveSharedIcon(const QString& relativePath, const QImage& image) {
    Save(SharedPath(relativePath), image.convertToFormat(QImage::Format_ARGB32), "ICO");
}

void ArtWriter::SaveGameIcon(const QString& relativePath, const QImage& image) {
    Save(GamePath(relativePath), image.convertToFormat(QImage::Format_ARGB32), "ICO");
}

void ArtWriter::SaveGamePng(const QString& relativePath, const QImage& image) {
    Save(GamePath(relativePath), image.convertToFormat(QImage::Format_ARGB32), "PNG");
}

void ArtWriter::CopySharedFile(const QString& fromRelative, const QString& toRelative) {
    const QString target = SharedPath(toRelative);
    QDir().mkpath(QFileInfo(target).dir().absolutePath());
    QFile::remove(target);
    if (!QFile::copy(SharedPath(fromRelative), target)) {
        std::fprintf(stderr, "qira-artgen: cannot write %s\n", qPrintable(target));
        failed_ = true;
        return;
    }
    ++filesWritten_;
}

QImage RenderSupersampled(QSize size, const DrawFunction& draw, QColor background) {
    QImage large(size * kSuperSample, QImage::Format_ARGB32_Premultiplied);
    large.fill(background);
    {
        QPainter painter(&large);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(kSuperSample, kSuperSample);
        draw(painter);
    }
    return large.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QFont CjkFont(int weight) {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(100);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

namespace {

enum class Fit { KeepAspect, Stretch };

void DrawTextPath(QPainter& painter, const QString& text, const QRectF& box, const QBrush& brush,
                  int weight, Fit fit) {
    QPainterPath path;
    path.addText(0, 0, CjkFont(weight), text);
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty()) return;
    qreal scaleX = box.width() / bounds.width();
    qreal scaleY = box.height() / bounds.height();
    if (fit == Fit::KeepAspect) scaleX = scaleY = std::min(scaleX, scaleY);
    painter.save();
    painter.translate(box.center());
    painter.scale(scaleX, scaleY);
    painter.translate(-bounds.center());
    painter.fillPath(path, brush);
    painter.restore();
}

}  // namespace

void DrawFittedText(QPainter& painter, const QString& text, const QRectF& box, const QBrush& brush,
                    int weight) {
    DrawTextPath(painter, text, box, brush, weight, Fit::KeepAspect);
}

void DrawStretchedText(QPainter& painter, const QString& text, const QRectF& box,
                       const QBrush& brush, int weight) {
    DrawTextPath(painter, text, box, brush, weight, Fit::Stretch);
}

void DrawBevelPanel(QPainter& painter, const QRectF& rect, QColor top, QColor bottom,
                    qreal radius) {
    painter.save();
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(bottom.darker(170));
    painter.drawRoundedRect(rect, radius, radius);
    painter.setBrush(top.lighter(130));
    painter.drawRoundedRect(rect.adjusted(0, 0, -1, -1), radius, radius);
    painter.setBrush(gradient);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), radius, radius);
    painter.restore();
}

}  // namespace qira::artgen
