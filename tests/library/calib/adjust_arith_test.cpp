// The adjustment's arithmetic: zero limits, range decision, output
// recognition windows, the calibration plans and lines, the self-test grid.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "calib/adjust.h"

namespace {

TEST(AdjustZero, ClassAndLimits)
{
    struct Case {
        float zero;
        uint16_t range_class;
        bool ok_required;      // gain 1, or gains 10/100 in a bipolar range
        bool ok_not_required;  // gains 10/100 in a unipolar range
    };
    const Case cases[] = {
        {1792.0f, 2, true, true},      // exactly 1792 is unipolar
        {1792.5f, 4, true, true},
        {2304.0f, 4, true, true},      // upper limit itself accepted
        {2304.25f, 4, false, false},
        {0.0f, 2, false, true},        // zero digits: fails only where required
        {0.25f, 2, true, true},
        {12.0f, 2, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zero);
        EXPECT_EQ(range_class_of_zero(c.zero), c.range_class);
        EXPECT_EQ(zero_acceptable(c.zero, true), c.ok_required);
        EXPECT_EQ(zero_acceptable(c.zero, false), c.ok_not_required);
    }
}

TEST(AdjustRange, DecisionAndFullScaleChecks)
{
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        uint16_t range_class;
        float zero;
        float k;
        uint16_t expected;
    };
    const Case cases[] = {
        // bipolar: k above 0.004 V/digit is the 10 V range
        {4, 2048.0f, 0.0040f, 4},        // the float 0.004 itself stays in the 5 V range
        {4, 2048.0f, 0.00245f, 4},       // -5..5 V in 2041 digits each side
        {4, 2048.0f, 0.00489f, 5},       // -10..10 V: 2045 digits each side
        {4, 2048.0f, 0.0048f, 0},        // 10 V would need 2083 digits below the zero
        {4, 2300.0f, 0.00489f, 0},       // ... and above the zero 2300 + 2045 > 4095
        {4, 1900.0f, 0.0025f, 0},        // 5 V = 2000 digits > zero 1900
        // unipolar: k above 0.002 V/digit is the 10 V range
        {2, 10.0f, 0.0020f, 2},          // the float 0.002 itself stays in the 5 V range
        {2, 10.0f, 0.00123f, 2},         // 10 + 4065 < 4095
        {2, 10.0f, 0.00246f, 3},         // 10 + 4065 < 4095
        {2, 94.0f, 0.0025f, 3},          // 94 + 4000 < 4095
        {2, 96.0f, 0.0025f, 0},          // 96 + 4000 > 4095
        {2, 100.0f, 0.0012f, 0},         // 100 + 4167 > 4095
        // a reference reading at or below the zero gives no scale at all
        {2, 10.0f, -0.0024f, 0},
        {4, 2048.0f, -0.0049f, 0},
        {4, 2048.0f, inf, 0},
        {2, 10.0f, std::nanf(""), 0},
        {3, 10.0f, 0.00244f, 0},         // only 2 and 4 are classes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.range_class << " " << c.zero << " " << c.k);
        EXPECT_EQ(ad_range_code(c.range_class, c.zero, c.k), c.expected);
    }
}

TEST(AdjustRecognition, WindowsAtCode600h)
{
    struct Case {
        float direct;
        float exchanged;
        uint16_t ao1;   // pattern of AO1 (bipolar 50h)
        uint16_t ao2;   // pattern of AO2 (bipolar 90h)
    };
    const Case cases[] = {
        {3.75f, 0.0f, 0x10, 0x10},
        {3.5001f, 0.0f, 0x10, 0x10},
        {3.5f, -2.5f, 0x50, 0x90},      // window ends fall through to the exchanged reading
        {4.0f, -3.75f, 0x30, 0x30},
        {-99.999f, -2.5f, 0x50, 0x90},
        {-99.999f, -2.26f, 0x50, 0x90},
        {-99.999f, -2.25f, 0, 0},
        {-99.999f, -2.75f, 0, 0},
        {-99.999f, -3.51f, 0x30, 0x30},
        {-99.999f, -3.5f, 0, 0},
        {-99.999f, -4.0f, 0, 0},
        {0.0f, 0.0f, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.direct << " " << c.exchanged);
        const uint16_t d = direct_pattern(c.direct);
        EXPECT_EQ(d != 0 ? d : exchanged_pattern(c.exchanged, 0x50), c.ao1);
        EXPECT_EQ(d != 0 ? d : exchanged_pattern(c.exchanged, 0x90), c.ao2);
    }
}

TEST(AdjustRecognition, OutputKindsByHighNibble)
{
    using K = OutputKind;
    struct Case {
        uint16_t code;
        K ao1;
        K ao2;
    };
    const Case cases[] = {
        {0x15, K::Positive, K::Positive}, {0x35, K::Negative, K::Negative},
        {0x55, K::Bipolar, K::Positive},  {0x95, K::Positive, K::Bipolar},
        {0xD5, K::Bipolar, K::Bipolar},   {0x72, K::None, K::None},   // AO1 bipolar + AO2 negative
        {0xB3, K::None, K::None},         {0x03, K::None, K::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(output_kind(1, c.code), c.ao1);
        EXPECT_EQ(output_kind(2, c.code), c.ao2);
    }
}

// An ideal output of each kind, seen through an A/D range: every plan point
// must be measurable there (inside the range, through the input the plan
// names), and the line from the two points must give the output back.
TEST(AdjustPlan, EveryPointIsMeasurableAndTheLineFitsTheOutput)
{
    struct Range {
        uint16_t code;
        double lo, hi;
    };
    const Range ad_ranges[] = {{2, 0, 5}, {3, 0, 10}, {4, -5, 5}, {5, -10, 10}};
    struct Out {
        OutputKind kind;
        double lc, slope;   // true volts at code 0, volts per code
    };
    const Out outs[] = {
        {OutputKind::Positive, 0.0, 10.0 / 4096},
        {OutputKind::Negative, 0.0, -10.0 / 4096},
        {OutputKind::Bipolar, -10.0, 20.0 / 4096},
    };
    for (const auto& r : ad_ranges)
        for (const auto& o : outs) {
            SCOPED_TRACE(testing::Message() << "range " << r.code << " kind " << int(o.kind));
            CalPlan p{};
            ASSERT_TRUE(calibration_plan(r.code, o.kind, &p));
            const double vh = o.lc + p.high_code * o.slope;
            const double vl = o.lc + p.low_code * o.slope;
            // exchanged inputs see the negated signal, inside the same range
            const double seen_h = p.high_exchanged ? -vh : vh;
            const double seen_l = p.low_exchanged ? -vl : vl;
            EXPECT_GT(seen_h, r.lo);
            EXPECT_LT(seen_h, r.hi);
            if (!p.low_with_swap) {
                EXPECT_GT(seen_l, r.lo);
                EXPECT_LT(seen_l, r.hi);
            }
            const DaLine line = da_line(float(vh), float(vl), p.low_code, p.divisor);
            EXPECT_NEAR(line.slope, o.slope, std::fabs(o.slope) * 6e-4);   // divisors one above the span
            EXPECT_NEAR(line.lc, o.lc, 0.006);
            EXPECT_NEAR(line.lc + 4095 * line.slope, o.lc + 4095 * o.slope, 0.008);
        }
    CalPlan p{};
    EXPECT_FALSE(calibration_plan(0, OutputKind::Positive, &p));
    EXPECT_FALSE(calibration_plan(5, OutputKind::None, &p));
}

TEST(AdjustPlan, LineArithmetic)
{
    // low point at code 0: the low reading is the line's value at 0 itself
    DaLine a = da_line(4.8828f, -0.01f, 0, 2001);
    EXPECT_FLOAT_EQ(a.slope, (4.8828f + 0.01f) * (1.0f / 2001.0f));
    EXPECT_FLOAT_EQ(a.lc, -0.01f);
    // low point at code 31: extrapolated back to code 0
    DaLine b = da_line(9.85f, -9.85f, 31, 4033);
    EXPECT_FLOAT_EQ(b.slope, 19.7f * (1.0f / 4033.0f));
    EXPECT_FLOAT_EQ(b.lc, -9.85f - 31.0f * b.slope);
}

TEST(AdjustSelfTest, VoltageGridAndWindow)
{
    struct Case {
        int32_t random;
        float volts;
    };
    const Case grid[] = {
        {0, 0.0f}, {1, 0.0f}, {2, 0.001f}, {16383, 9.999f}, {16384, 10.0f},
        {16385, -9.999f}, {24576, -5.0f}, {32767, 0.0f},
    };
    for (const auto& c : grid)
        EXPECT_FLOAT_EQ(selftest_volts(c.random), c.volts) << c.random;
    float lo = 100.0f, hi = -100.0f;
    for (int32_t r = 0; r < 32768; ++r) {
        const float v = selftest_volts(r);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        const double mv = v * 1000.0;
        ASSERT_NEAR(mv, std::round(mv), 5e-3) << r;
    }
    EXPECT_FLOAT_EQ(lo, -9.999f);
    EXPECT_FLOAT_EQ(hi, 10.0f);

    EXPECT_TRUE(selftest_pass(1.0f, 1.019f));
    EXPECT_TRUE(selftest_pass(-5.0f, -5.019f));
    EXPECT_FALSE(selftest_pass(1.0f, 1.021f));
    EXPECT_FALSE(selftest_pass(-5.0f, -5.021f));
    EXPECT_FALSE(selftest_pass(10.0f, 99.999f));
}

}  // namespace
