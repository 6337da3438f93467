#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <functional>

namespace qira::artgen {

// Pictures are drawn this many times larger and then scaled down with area
// averaging: small tiles keep clean, anti-aliased strokes and glyphs.
inline constexpr int kSuperSample = 4;

inline const QColor kTableBlue(33, 89, 173);

// Where the generated files go: "Res/" inside the program folder, "ResMj/",
// "UserRes/" and "res/" in its parent, as the client looks them up.
class ArtWriter {
public:
    explicit ArtWriter(const QString& programFolder);

    void SaveGameBitmap(const QString& relativePath, const QImage& image);
    void SaveSharedBitmap(const QString& relativePath, const QImage& image);
    void SaveSharedIcon(const QString& relativePath, const QImage& image);
    void SaveGameIcon(const QString& relativePath, const QImage& image);
    // PNG keeps the alpha channel, for pictures a web page shows.
    void SaveGamePng(const QString& relativePath, const QImage& image);
    // Copies a file already written, for pictures used under several names.
    void CopySharedFile(const QString& fromRelative, const QString& toRelative);
    QString GamePath(const QString& relativePath) const;
    QString SharedPath(const QString& relativePath) const;

    int FilesWritten() const { return filesWritten_; }
    bool Failed() const { return failed_; }

private:
    void Save(const QString& path, const QImage& image, const char* format);

    QString gameFolder_;
    QString sharedFolder_;
    int filesWritten_ = 0;
    bool failed_ = false;
};

using DrawFunction = std::function<void(QPainter&)>;

// Runs `draw` on a painter whose unit is one pixel of the final picture,
// on a canvas kSuperSample times larger, and returns the picture at `size`.
QImage RenderSupersampled(QSize size, const DrawFunction& draw,
                          QColor background = Qt::transparent);

// The CJK font every Chinese glyph is drawn with.
QFont CjkFont(int weight = QFont::Bold);

// Draws `text` as a filled outline scaled to fit `box` with its aspect kept,
// centred in the box.
void DrawFittedText(QPainter& painter, const QString& text, const QRectF& box, const QBrush& brush,
                    int weight = QFont::Bold);

// Same, but stretched to fill `box` exactly (for foreshortened faces).
void DrawStretchedText(QPainter& painter, const QString& text, const QRectF& box,
                       const QBrush& brush, int weight = QFont::Bold);

// A bevelled, rounded panel: a gradient body with a light top-left and dark
// bottom-right rim.
void DrawBevelPanel(QPainter& painter, const QRectF& rect, QColor top, QColor bottom, qreal radius);

}  // namespace qira::artgen
