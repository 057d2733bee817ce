#pragma once
// Comparing a drawn picture with one stored under tests/golden/, with a small tolerance: pixels
// whose channels differ by more than 16, at most one in 200. QVTK_UPDATE_GOLDEN=1 writes the
// drawn picture as the stored one instead (after an intended change).
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <string>

namespace qvtk::test {

inline std::string GoldenPath(const std::string& name) {
    return std::string(QVTK_SOURCE_DIR) + "/tests/golden/" + name;
}

// Checks `drawn` against the stored picture `name`; `minLit` non-black pixels show it holds
// something at all.
inline void ExpectGolden(const QImage& drawn, const std::string& name, int minLit) {
    const std::string path = GoldenPath(name);
    if (std::getenv("QVTK_UPDATE_GOLDEN")) {
        ASSERT_TRUE(drawn.save(QString::fromStdString(path)));
        GTEST_SKIP() << "wrote " << path;
    }
    QImage golden(QString::fromStdString(path));
    ASSERT_FALSE(golden.isNull()) << path << " is missing";
    golden = golden.convertToFormat(QImage::Format_RGB32);
    const QImage image = drawn.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(golden.size(), image.size());
    int differing = 0, lit = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb a = image.pixel(x, y), b = golden.pixel(x, y);
            lit += (b & 0xFFFFFF) != 0;
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b))});
            differing += d > 16;
        }
    EXPECT_GT(lit, minLit) << name << " holds too little";
    EXPECT_LE(differing, image.width() * image.height() / 200) << "pixels off " << name;
}

} // namespace qvtk::test
