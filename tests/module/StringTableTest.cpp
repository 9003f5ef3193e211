#include <gtest/gtest.h>

#include "ExpectedStrings.h"
#include "module/ModuleHelpers.h"

namespace brevio {
namespace {

TEST(StringTable, EveryIdHasItsExactText) {
    int checked = 0;
    for (const test::ExpectedString& expected : test::kExpectedStrings) {
        const QString text = LoadString(expected.id);
        EXPECT_EQ(text.toUtf8(), QByteArray(expected.utf8)) << "string " << expected.id;
        EXPECT_FALSE(text.isEmpty()) << "string " << expected.id;
        ++checked;
    }
    EXPECT_EQ(checked, 33);
}

TEST(StringTable, KnownTextsAndMissingIds) {
    EXPECT_EQ(LoadString(131), QStringLiteral("Main dialog creation failed !"));
    EXPECT_EQ(LoadString(128), QStringLiteral("Albumora EX"));
    EXPECT_EQ(LoadString(137), QString::fromUtf8("MOV \xe6\x96\x87\xe4\xbb\xb6 (*.mov)|*.mov||"));
    for (uint32_t id : {0u, 1u, 127u, 161u, 0x10000u + 131u, 0xFFFFFFFFu}) {
        EXPECT_TRUE(LoadString(id).isEmpty()) << "string " << id;
    }
}

TEST(StringTable, ChangedFileNoticeHasOneLineFeed) {
    const QString text = LoadString(155);
    EXPECT_EQ(text.count(u'\n'), 1);
    EXPECT_FALSE(text.contains(u'\r'));
    const qsizetype lf = text.indexOf(u'\n');
    EXPECT_TRUE(text.left(lf).endsWith(QChar(0x3002)));  // first sentence ends with its full stop
    EXPECT_TRUE(text.endsWith(QChar(0x3002)));
}

}  // namespace
}  // namespace brevio
