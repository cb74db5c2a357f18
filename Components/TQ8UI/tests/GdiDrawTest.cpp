// Drawing primitives: lines without their end pixel in every direction, pies.
#include "GdiDraw.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

// Pixels set by one line on a black image, as a row-major string.
std::string Drawn(QPoint from, QPoint to)
{
    QImage image(6, 6, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.setPen(gdidraw::CosmeticPen(Qt::white));
        gdidraw::Line(painter, from, to);
    }
    std::string s;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            if (image.pixel(x, y) == 0xFFFFFFFFu)
                s += std::to_string(x) + std::to_string(y) + " ";
    return s;
}

TEST(GdiDraw, LinesLeaveOutTheirEndPixelWhicheverWayTheyRun)
{
    EXPECT_EQ(Drawn({1, 1}, {1, 4}), "11 12 13 ");
    EXPECT_EQ(Drawn({1, 4}, {1, 1}), "12 13 14 ");
    EXPECT_EQ(Drawn({1, 2}, {4, 2}), "12 22 32 ");
    EXPECT_EQ(Drawn({4, 2}, {1, 2}), "22 32 42 ");
    EXPECT_EQ(Drawn({3, 3}, {3, 3}), "");
    EXPECT_EQ(Drawn({0, 0}, {3, 3}), "00 11 22 ");
}

TEST(GdiDraw, APieFillsItsSweepOnly)
{
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        painter.setPen(gdidraw::CosmeticPen(Qt::red));
        painter.setBrush(Qt::white);
        // The start wedge of a point at (10, 10), radius 5: the right quarter.
        gdidraw::Pie(painter, {5, 5, 16, 16}, {14, 15}, {14, 5});
    }
    EXPECT_EQ(image.pixel(13, 10), QColor(Qt::white).rgb());
    EXPECT_EQ(image.pixel(7, 10), QColor(Qt::black).rgb());
    EXPECT_EQ(image.pixel(10, 6), QColor(Qt::black).rgb());
    EXPECT_EQ(image.pixel(15, 10), QColor(Qt::red).rgb());
}

} // namespace
