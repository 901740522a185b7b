#include <gtest/gtest.h>

#include <stdexcept>

#include "Pictures.h"
#include "RichTextSuite.h"
#include "core/RDGraphUtils.h"
#include "core/RDHookGuard.h"
#include "core/RDStrUtils.h"
#include "document/RDDocTypes.h"
#include "viewer/RDAnimator.h"

namespace {

void StandInAnimator(TCustomRDItemInfo*, TCustomRDData*, std::unique_ptr<TRDAnimator>& animator)
{
    animator.reset();
}

}  // namespace

// The test program's main installed the suite as the programs do.
TEST(RichTextSuite, TheMainInstalledTheProgramsHooks)
{
    EXPECT_EQ(MakeAnimatorHook, &MakeItemAnimator);
    ASSERT_TRUE(CreateGraphicHook);
    EXPECT_EQ(CreateGraphicHook(QStringLiteral("TBitmap"))->ClassName(), QStringLiteral("TBitmap"));
    EXPECT_EQ(UrlCheckHook, nullptr);
}

// Guards nest, and each gives back what was there before it, also when the
// test body leaves by an exception: the installed routine survives them all.
TEST(RichTextSuite, HookGuardsGiveTheInstalledRoutineBack)
{
    {
        TRDHookGuard outer(MakeAnimatorHook, &StandInAnimator);
        EXPECT_EQ(MakeAnimatorHook, &StandInAnimator);
        {
            TRDHookGuard inner(MakeAnimatorHook, nullptr);
            EXPECT_EQ(MakeAnimatorHook, nullptr);
        }
        EXPECT_EQ(MakeAnimatorHook, &StandInAnimator);
    }
    EXPECT_EQ(MakeAnimatorHook, &MakeItemAnimator);

    try {
        TRDHookGuard graphics(CreateGraphicHook, [](const QString&) { return std::unique_ptr<TGraphic>(); });
        EXPECT_EQ(CreateGraphicHook(QStringLiteral("TBitmap")), nullptr);
        throw std::runtime_error("leaves the scope");
    } catch (const std::runtime_error&) {
    }
    ASSERT_TRUE(CreateGraphicHook);
    EXPECT_EQ(CreateGraphicHook(QStringLiteral("TBitmap"))->ClassName(), QStringLiteral("TBitmap"));
}
