// Every pass of real frames keeps the entry and exit state it declares, and
// the frame calls the passes in the declared order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ElementGl.h"
#include "PassStateCheck.h"
#include "scene/SpaceScene.h"

namespace velmora {
namespace {

using test::GlSnapshot;

// Snapshots around every pass, in the order the frame reports them.
class PassRecorder final : public FramePassObserver {
public:
    struct Record {
        FramePass pass;
        GlSnapshot before;
        GlSnapshot after;
    };
    void BeforePass(FramePass pass) override { open_ = {pass, GlSnapshot::Take(), {}}; }
    void AfterPass(FramePass pass) override
    {
        EXPECT_EQ(pass, open_.pass) << "a pass ended that had not begun";
        open_.after = GlSnapshot::Take();
        records.push_back(open_);
    }
    std::vector<Record> records;

private:
    Record open_ {};
};

struct FrameRow {
    double time;
    int frames;
    // false: the ring colour and patterns in separate passes.
    bool onePassRings = true;
};

class PassStateTest : public test::ElementGlSuite<320, 240>,
                      public ::testing::WithParamInterface<FrameRow> { };

TEST_P(PassStateTest, EveryPassKeepsItsDeclaredState)
{
    SpaceScene& scene = gl_->Scene();
    const bool one = GetParam().onePassRings;
    scene.UseRingPaths(RingPaths {.oneColourPass = one, .onePatternPass = one, .patternsInColourPass = one});
    ASSERT_EQ(scene.RingPathsInUse().oneColourPass, one);
    ASSERT_EQ(scene.RingPathsInUse().onePatternPass, one);
    ASSERT_EQ(scene.RingPathsInUse().patternsInColourPass, one);
    scene.SetAnimationTime(GetParam().time);
    for (int frame = 0; frame < GetParam().frames; ++frame) {
        PassRecorder recorder;
        scene.DrawFrame(&recorder);
        ASSERT_EQ(recorder.records.size(), kFramePasses.size()) << "frame " << frame;
        for (std::size_t i = 0; i < recorder.records.size(); ++i) {
            const PassRecorder::Record& r = recorder.records[i];
            ASSERT_EQ(static_cast<std::size_t>(r.pass), i) << "frame " << frame << ": passes out of order";
            const PassContract& contract = kFramePasses[i];
            const auto context = [&](const char* where) {
                return std::string(contract.name) + " " + where + ", frame " + std::to_string(frame);
            };
            for (const std::string& m : test::StateMismatches(contract.entry, r.before, gl_->Textures()))
                ADD_FAILURE() << context("entry") << ": " << m;
            for (const std::string& m : test::StateMismatches(contract.exit, r.after, gl_->Textures()))
                ADD_FAILURE() << context("exit") << ": " << m;
            for (const std::string& m : test::MatrixMismatches(contract.modelView, r.before, r.after))
                ADD_FAILURE() << context("matrices") << ": " << m;
            // Background marks are made only for a separate mask pass.
            if (r.pass == FramePass::Rings) {
                EXPECT_EQ(r.before.stencilTest, !one) << context("entry");
            }
        }
    }
    scene.UseRingPaths(
        RingPaths {.oneColourPass = true, .onePatternPass = true, .patternsInColourPass = true});
}

// The reference times, and runs of frames so the state one frame hands to
// the next is covered too.
INSTANTIATE_TEST_SUITE_P(ReferenceTimes, PassStateTest,
    ::testing::Values(FrameRow {7000.0, 1}, FrameRow {6180.0, 1}, FrameRow {6915.0, 1}, FrameRow {7000.0, 3},
        FrameRow {6180.0, 2}, FrameRow {7000.0, 2, false}, FrameRow {6180.0, 1, false}));

} // namespace
} // namespace velmora
