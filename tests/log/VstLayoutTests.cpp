// Our AEffect and ERect against an independent description of the VST 2 ABI.
#include "vst/VstInterface.h"

#include <gtest/gtest.h>

// fst.h has no includes of its own, so it can live in a namespace of its own.
namespace fst
{
#include <pluginterfaces/fst/fst.h>
}

#define EXPECT_SAME_OFFSET(ours, theirs) EXPECT_EQ (offsetof (AEffect, ours), offsetof (fst::_fstEffect, theirs)) << #ours

TEST (VstLayout, AEffectMatchesThePublishedLayout)
{
    EXPECT_SAME_OFFSET (magic, magic);
    EXPECT_SAME_OFFSET (dispatcher, dispatcher);
    EXPECT_SAME_OFFSET (process, process);
    EXPECT_SAME_OFFSET (setParameter, setParameter);
    EXPECT_SAME_OFFSET (getParameter, getParameter);
    EXPECT_SAME_OFFSET (numPrograms, numPrograms);
    EXPECT_SAME_OFFSET (numParams, numParams);
    EXPECT_SAME_OFFSET (numInputs, numInputs);
    EXPECT_SAME_OFFSET (numOutputs, numOutputs);
    EXPECT_SAME_OFFSET (flags, flags);
    EXPECT_SAME_OFFSET (resvd1, resvd1);
    EXPECT_SAME_OFFSET (resvd2, resvd2);
    EXPECT_SAME_OFFSET (initialDelay, initialDelay);
    EXPECT_SAME_OFFSET (ioRatio, float1);
    EXPECT_SAME_OFFSET (object, object);
    EXPECT_SAME_OFFSET (user, user);
    EXPECT_SAME_OFFSET (uniqueID, uniqueID);
    EXPECT_SAME_OFFSET (version, version);
    EXPECT_SAME_OFFSET (processReplacing, processReplacing);
    EXPECT_SAME_OFFSET (processDoubleReplacing, processDoubleReplacing);

    // fst's wider flags field covers ours and its padding; its _pad2 holds the two quality fields.
    EXPECT_EQ (sizeof (fst::_fstEffect::flags), sizeof (AEffect::flags) + 4);
    EXPECT_EQ (offsetof (AEffect, realQualities), offsetof (fst::_fstEffect, _pad2));
    EXPECT_EQ (offsetof (AEffect, offQualities), offsetof (fst::_fstEffect, _pad2) + 4);

    // fst leaves out the reserved tail.
    EXPECT_EQ (sizeof (AEffect), sizeof (fst::_fstEffect) + sizeof (AEffect::future));
    EXPECT_EQ (sizeof (AEffect::future), 56u);
    EXPECT_EQ (offsetof (AEffect, future), sizeof (fst::_fstEffect));
}

TEST (VstLayout, ERectMatchesThePublishedLayout)
{
    EXPECT_EQ (sizeof (ERect), sizeof (fst::_fstRectangle));
    EXPECT_EQ (offsetof (ERect, top), offsetof (fst::_fstRectangle, top));
    EXPECT_EQ (offsetof (ERect, left), offsetof (fst::_fstRectangle, left));
    EXPECT_EQ (offsetof (ERect, bottom), offsetof (fst::_fstRectangle, bottom));
    EXPECT_EQ (offsetof (ERect, right), offsetof (fst::_fstRectangle, right));
}
