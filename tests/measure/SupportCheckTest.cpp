#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "measure/SupportCheck.h"
#include "support/TestSupport.h"

using namespace Trelm;
using namespace Trelm::test;

namespace
{

// A 200 x 160 image with an ellipse of semi-axes 50 and 30 about (100, 80), turned by 0.3.
const EllipseParameters DRAWN{100.0, 80.0, 100.0, 60.0, 0.3};

BinaryImage imageWithEllipse()
{
    BinaryImage image = blankImage(200, 160);
    drawEllipse(image, DRAWN.centerX, DRAWN.centerY, DRAWN.majorAxis / 2, DRAWN.minorAxis / 2,
                DRAWN.angle);
    return image;
}

// The drawn ellipse's outline from parameter 0 to end only.
BinaryImage imageWithArc(double end)
{
    BinaryImage image = blankImage(200, 160);
    drawEllipseArc(image, DRAWN.centerX, DRAWN.centerY, DRAWN.majorAxis / 2, DRAWN.minorAxis / 2,
                   DRAWN.angle, 0.0, end);
    return image;
}

void addSalt(BinaryImage& image, double share, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (auto& row : image.rows)
        for (auto& pixel : row)
            if (unit(generator) < share)
                pixel = 1;
}

void drawSegment(BinaryImage& image, double x0, double y0, double x1, double y1)
{
    for (int i = 0; i <= 400; ++i) {
        const double f = i / 400.0;
        const int x = static_cast<int>(std::lround(x0 + (x1 - x0) * f));
        const int y = static_cast<int>(std::lround(y0 + (y1 - y0) * f));
        if (x >= 0 && y >= 0 && x < image.width && y < image.height)
            image.rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = 1;
    }
}

} // namespace

TEST(SupportCheckTest, BinomialTailMatchesExactValues)
{
    // P[X >= 15] for 20 fair coins: (15504 + 4845 + 1140 + 190 + 20 + 1) / 2^20.
    EXPECT_NEAR(SupportCheck::log10BinomialTail(20, 15, 0.5), std::log10(21700.0 / 1048576.0),
                1e-12);
    EXPECT_NEAR(SupportCheck::log10BinomialTail(10, 10, 0.5), -10 * std::log10(2.0), 1e-12);
    EXPECT_NEAR(SupportCheck::log10BinomialTail(1, 1, 0.25), std::log10(0.25), 1e-12);
}

TEST(SupportCheckTest, BinomialTailBoundaries)
{
    const double impossible = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(SupportCheck::log10BinomialTail(10, 0, 0.3), 0.0);
    EXPECT_EQ(SupportCheck::log10BinomialTail(0, 0, 0.3), 0.0);
    EXPECT_EQ(SupportCheck::log10BinomialTail(10, 11, 0.3), impossible);
    EXPECT_EQ(SupportCheck::log10BinomialTail(10, 3, 0.0), impossible);
    EXPECT_EQ(SupportCheck::log10BinomialTail(10, 3, 1.0), 0.0);
}

TEST(SupportCheckTest, BinomialTailStaysFiniteFarOutInTheTail)
{
    // 10^-301 is near the smallest double: the logarithms must not underflow on the way.
    EXPECT_NEAR(SupportCheck::log10BinomialTail(1000, 1000, 0.5), -1000 * std::log10(2.0), 1e-9);
    EXPECT_NEAR(SupportCheck::log10BinomialTail(3000, 3000, 0.01), -6000.0, 1e-6);
    // Below the mean the tail is nearly certain.
    EXPECT_NEAR(SupportCheck::log10BinomialTail(2000, 10, 0.5), 0.0, 1e-12);
    EXPECT_LE(SupportCheck::log10BinomialTail(2000, 10, 0.5), 0.0);
}

TEST(SupportCheckTest, RowsShorterThanTheWidthAreInactiveBeyondTheirEnd)
{
    // A file cut short leaves empty rows: they must read as the blank rows they stand for.
    BinaryImage blanked = imageWithEllipse();
    BinaryImage cut = blanked;
    for (std::size_t y = 80; y < 160; ++y) {
        std::fill(blanked.rows[y].begin(), blanked.rows[y].end(), 0);
        cut.rows[y] = {};
    }
    const SupportCheck::Measure expected = SupportCheck(blanked).measure(DRAWN);
    const SupportCheck::Measure measured = SupportCheck(cut).measure(DRAWN);
    EXPECT_EQ(measured.samples, expected.samples);
    EXPECT_EQ(measured.supported, expected.supported);
}

TEST(SupportCheckTest, DrawnEllipseIsAccepted)
{
    const BinaryImage image = imageWithEllipse();
    const SupportCheck check(image);
    const SupportCheck::Measure m = check.measure(DRAWN);
    EXPECT_GT(m.samples, 50);
    EXPECT_EQ(m.supported, m.samples);
    EXPECT_LT(m.density, 0.01);
    EXPECT_EQ(m.sectors, 16);
    EXPECT_EQ(m.presentSectors, 16);
    EXPECT_LT(m.log10FalseAlarms, -50.0);
    EXPECT_TRUE(check.accepts(m));
}

TEST(SupportCheckTest, WholePixelEllipseOfTheSearchIsAccepted)
{
    // The search's whole pixels, off by one pixel each way, checked with a looser tolerance.
    const BinaryImage image = imageWithEllipse();
    Ellipse rounded;
    rounded.valid = true;
    rounded.centerX = 101;
    rounded.centerY = 79;
    rounded.majorAxis = 100;
    rounded.minorAxis = 60;
    rounded.angle = 0.3;
    SupportCheck::Rules rules;
    rules.tolerance = 1.5;
    EXPECT_TRUE(SupportCheck(image, rules).accepts(SupportCheck(image, rules).measure(rounded)));
}

TEST(SupportCheckTest, EmptyImageGivesNoSupport)
{
    const BinaryImage image = blankImage(200, 160);
    const SupportCheck check(image);
    const SupportCheck::Measure m = check.measure(DRAWN);
    EXPECT_EQ(m.supported, 0);
    EXPECT_EQ(m.sectors, 0);
    EXPECT_FALSE(check.accepts(m));
}

TEST(SupportCheckTest, ChanceSupportInSaltIsRefused)
{
    // Salt alone supports many positions, but no more than the band around them.
    BinaryImage image = blankImage(200, 160);
    addSalt(image, 0.2, 11);
    const SupportCheck check(image);
    const SupportCheck::Measure m = check.measure(DRAWN);
    EXPECT_GT(m.supported, 0);
    EXPECT_GT(m.density, 0.02);
    EXPECT_GT(m.log10FalseAlarms, 0.0);
    EXPECT_FALSE(check.accepts(m));
}

TEST(SupportCheckTest, EllipseInSaltIsStillAccepted)
{
    BinaryImage image = imageWithEllipse();
    addSalt(image, 0.05, 5);
    EXPECT_TRUE(SupportCheck(image).accepts(DRAWN));
}

TEST(SupportCheckTest, SupportBunchedOnOneSideIsRefused)
{
    // A third of the outline: plenty of support, but in too few of the normal's directions.
    const BinaryImage image = imageWithArc(2.1);
    const SupportCheck check(image);
    const SupportCheck::Measure m = check.measure(DRAWN);
    EXPECT_LT(m.log10FalseAlarms, -20.0);
    EXPECT_LT(m.sectors, 8);
    EXPECT_FALSE(check.accepts(m));
}

TEST(SupportCheckTest, HalfAnOutlineNeedsOverwhelmingSupport)
{
    const BinaryImage image = imageWithArc(3.1416);
    const SupportCheck::Measure m = SupportCheck(image).measure(DRAWN);
    EXPECT_GE(m.sectors, 8);
    EXPECT_LT(m.sectors, 10);
    EXPECT_LT(m.log10FalseAlarms, -40.0);
    EXPECT_TRUE(SupportCheck(image).accepts(m));
    SupportCheck::Rules strict;
    strict.log10MaxBunchedFalseAlarms = m.log10FalseAlarms;
    EXPECT_FALSE(SupportCheck(image, strict).accepts(m));
}

TEST(SupportCheckTest, ASmallOutlineMustBeNearlyWholeWhenTheRuleAsks)
{
    // Semi-axes 10 and 6, drawn over 0.8 or all of its turn.
    const EllipseParameters small{50.0, 40.0, 20.0, 12.0, 0.2};
    SupportCheck::Rules rules;
    rules.log10Tests = 0.0;
    SupportCheck::Rules wholeSmall = rules;
    wholeSmall.smallMinor = 8.0;
    wholeSmall.smallShare = 0.9;
    for (const double turn : {0.8, 1.0}) {
        BinaryImage image = blankImage(100, 80);
        const double c = std::cos(small.angle), s = std::sin(small.angle);
        for (int i = 0; i <= 2000; ++i) {
            const double t = 2 * 3.14159265 * turn * i / 2000;
            const double u = 10 * std::cos(t), v = 6 * std::sin(t);
            image.rows[static_cast<std::size_t>(std::lround(40 + u * s + v * c))]
                      [static_cast<std::size_t>(std::lround(50 + u * c - v * s))] = 1;
        }
        EXPECT_TRUE(SupportCheck(image, rules).accepts(small)) << turn;
        EXPECT_EQ(SupportCheck(image, wholeSmall).accepts(small), turn == 1.0) << turn;
    }
}

TEST(SupportCheckTest, APartialOutlineNeedsTheStrongerEvidenceWhereClutterWasFound)
{
    BinaryImage image = imageWithArc(3.1416);
    SupportCheck::Rules rules;
    // An empty band is no clutter, though the chance it assumes is above the limit.
    const SupportCheck::Measure clean = SupportCheck(image).measure(DRAWN);
    ASSERT_LT(clean.log10FalseAlarms, -20.0);
    EXPECT_EQ(clean.clutterHits, 0);
    rules.log10MaxPartialInClutter = clean.log10FalseAlarms;
    rules.partialClutterDensity = clean.density / 2;
    EXPECT_TRUE(SupportCheck(image, rules).acceptsPartial(clean));
    // A curve running 4.5 pixels outside part of the arc is clutter found beside it.
    drawEllipseArc(image, DRAWN.centerX, DRAWN.centerY, 54.5, 34.5, DRAWN.angle, 0.3, 0.6);
    const SupportCheck::Measure m = SupportCheck(image).measure(DRAWN);
    ASSERT_GT(m.clutterHits, 0);
    ASSERT_LT(m.log10FalseAlarms, -20.0);
    rules.log10MaxPartialInClutter = m.log10FalseAlarms;
    rules.partialClutterDensity = m.density;
    EXPECT_FALSE(SupportCheck(image, rules).acceptsPartial(m));
    rules.partialClutterDensity = m.density * 1.01;
    EXPECT_TRUE(SupportCheck(image, rules).acceptsPartial(m));
}

TEST(SupportCheckTest, LinesAcrossTheOutlineAreNoSupport)
{
    // Lines crossing the outline steeply touch it, but do not run along it.
    BinaryImage image = blankImage(200, 160);
    for (int x = 20; x < 200; x += 12)
        drawSegment(image, x, 0, x - 20, 159);
    const SupportCheck check(image);
    const SupportCheck::Measure m = check.measure(DRAWN);
    EXPECT_LT(m.supported, m.samples / 3);
    EXPECT_FALSE(check.accepts(m));
}

TEST(SupportCheckTest, OutlineCutByTheBorderNeedsFewerSectors)
{
    // The same ellipse moved so that its left end leaves the image.
    BinaryImage image = blankImage(200, 160);
    drawEllipse(image, 30, 80, 50, 30, 0.0);
    const SupportCheck check(image);
    const SupportCheck::Measure m = check.measure(EllipseParameters{30, 80, 100, 60, 0.0});
    EXPECT_LT(m.presentSectors, 16);
    EXPECT_EQ(m.sectors, m.presentSectors);
    EXPECT_TRUE(check.accepts(m));
}

TEST(SupportCheckTest, JudgingWithoutTheBackgroundWhereTheOutlineFailsDecidesTheSame)
{
    // Whole, half and quarter outlines, bare and in salt, judged on the drawn ellipse and on
    // ellipses off it: the check that skips the background decides as the full measure does.
    SupportCheck::Rules strictSmall;
    strictSmall.smallMinor = 40.0;
    strictSmall.smallShare = 0.9;
    for (const double end : {6.2832, 3.1416, 1.5708}) {
        for (const double salt : {0.0, 0.05}) {
            BinaryImage image = imageWithArc(end);
            addSalt(image, salt, 7);
            for (const double shift : {0.0, 0.6, 2.0}) {
                EllipseParameters e = DRAWN;
                e.centerX += shift;
                for (const SupportCheck::Rules& rules : {SupportCheck::Rules(), strictSmall}) {
                    const SupportCheck check(image, rules);
                    const SupportCheck::Measure m = check.measure(e);
                    EXPECT_EQ(check.accepts(e), check.accepts(m)) << end << " " << salt;
                    EXPECT_EQ(check.acceptsPartial(e), check.acceptsPartial(m)) << end << salt;
                    EXPECT_EQ(check.acceptsWholeOrPartial(e),
                              check.accepts(m) || check.acceptsPartial(m))
                        << end << salt;
                }
            }
        }
    }
}

TEST(SupportCheckTest, AnOutlineMissedByMoreThanTheToleranceCannotPass)
{
    const BinaryImage image = imageWithEllipse();
    EllipseParameters off = DRAWN;
    off.centerX += 2.0;
    off.centerY += 1.0;
    SupportCheck::Rules wide;
    wide.tolerance = 2.5;
    EXPECT_TRUE(SupportCheck(image).outlineCouldPass(DRAWN, false));
    EXPECT_FALSE(SupportCheck(image).outlineCouldPass(off, false));
    EXPECT_TRUE(SupportCheck(image, wide).outlineCouldPass(off, false));
    // A quarter of the outline could be a partial one, not a whole one.
    const BinaryImage quarter = imageWithArc(1.5708);
    EXPECT_TRUE(SupportCheck(quarter).outlineCouldPass(DRAWN, true));
    EXPECT_FALSE(SupportCheck(quarter).outlineCouldPass(DRAWN, false));
}
