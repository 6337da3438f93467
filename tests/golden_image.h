#pragma once

// Compares an offscreen picture with a reference PNG kept in the source tree.
// A pixel differs when a channel is off by more than 24; up to 0.2 % may
// differ. With QIRA_UPDATE_GOLDEN set, the picture becomes the new reference.
#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdlib>

namespace qira::test_support {

inline void ExpectMatchesGolden(const QImage& actual, const QString& goldenDir,
                                const QString& name) {
    const QString golden = goldenDir + QStringLiteral("/%1.png").arg(name);
    if (qEnvironmentVariableIsSet("QIRA_UPDATE_GOLDEN")) {
        QDir().mkpath(goldenDir);
        ASSERT_TRUE(actual.save(golden));
        return;
    }
    const QImage expected = QImage(golden).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(expected.isNull()) << "missing " << golden.toStdString();
    ASSERT_EQ(expected.size(), actual.size());
    const QImage frame = actual.convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb a = frame.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            const int delta =
                std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                          std::abs(qBlue(a) - qBlue(b))});
            if (delta > 24) ++differing;
        }
    }
    const int allowed = frame.width() * frame.height() / 500;
    if (differing > allowed) {
        const QString saved = QDir::temp().filePath(name + "-actual.png");
        frame.save(saved);
        FAIL() << differing << " pixels differ from " << golden.toStdString() << "; see "
               << saved.toStdString();
    }
}

}  // namespace qira::test_support
