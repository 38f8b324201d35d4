#include <gtest/gtest.h>

#include <vector>

#include "engine/graph/MixKernels.h"

namespace {

std::vector<float> Values(int n, float scale)
{
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = scale * static_cast<float>((i * 37) % 101 - 50);
    return v;
}

}  // namespace

TEST(MixKernels, CopyAndAddMatchThePlainSumForEveryLength)
{
    for (int n = 0; n <= 80; ++n) {
        const auto a = Values(n, 0.01f), b = Values(n, -0.003f), c = Values(n, 0.7f);
        std::vector<float> out(static_cast<std::size_t>(n) + 1, 42.0f);
        MixCopy(out.data(), a.data(), n);
        MixAdd(out.data(), b.data(), n);
        MixAdd(out.data(), c.data(), n);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ((a[i] + b[i]) + c[i], out[i]) << n << ":" << i;
        EXPECT_EQ(42.0f, out.back()) << "wrote past the end at " << n;
    }
}

TEST(MixKernels, FoldingGivesHalfTheSumOfEachFrame)
{
    for (int frames = 0; frames <= 21; ++frames) {
        const auto a = Values(2 * frames, 0.5f), b = Values(2 * frames, 0.25f);
        std::vector<float> out(static_cast<std::size_t>(frames) + 1, 7.0f);
        MixFoldCopy(out.data(), a.data(), frames);
        MixFoldAdd(out.data(), b.data(), frames);
        for (int k = 0; k < frames; ++k) {
            const float first = (a[2 * k] + a[2 * k + 1]) * 0.5f;
            ASSERT_EQ(first + (b[2 * k] + b[2 * k + 1]) * 0.5f, out[k]) << frames << ":" << k;
        }
        EXPECT_EQ(7.0f, out.back());
    }
}

TEST(MixKernels, SummingManySourcesAtOnceGivesTheSameValuesAsOneAtATime)
{
    for (int sources : {1, 2, 5, 64}) {
        for (int n : {0, 7, 32, 100, 512}) {
            std::vector<std::vector<float>> data;
            std::vector<const float*> pointers;
            for (int s = 0; s < sources; ++s) {
                data.push_back(Values(n, 0.001f * static_cast<float>(s + 1)));
                pointers.push_back(data.back().data());
            }
            std::vector<float> oneByOne(static_cast<std::size_t>(n)), atOnce(static_cast<std::size_t>(n) + 1, 3.0f);
            MixCopy(oneByOne.data(), pointers[0], n);
            for (int s = 1; s < sources; ++s)
                MixAdd(oneByOne.data(), pointers[static_cast<std::size_t>(s)], n);
            MixSum(atOnce.data(), pointers.data(), sources, n);
            EXPECT_EQ(3.0f, atOnce.back());
            atOnce.pop_back();
            EXPECT_EQ(oneByOne, atOnce) << sources << " sources, " << n;
        }
    }
}
