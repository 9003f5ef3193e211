// The instruction panel as the dialog makes it: created as a 10 by 10 child, then moved.
#include <gtest/gtest.h>
#include <QFontInfo>
#include <QLabel>
#include <QWidget>

#include "dialog/CInfoMessageWnd.h"
#include "dialog/CInfoMessageWndChapter.h"
#include "module/ModuleHelpers.h"

namespace brevio {
namespace {

QString Steps(std::initializer_list<uint32_t> ids) {
    QString text;
    for (uint32_t id : ids) text += QStringLiteral("\r\n") + LoadString(id);
    return text;
}

template <class Panel>
void CreateAndPlace(QWidget& parent, Panel& panel) {
    parent.show();
    ASSERT_TRUE(panel.Create(&parent, QRect(0, 0, 10, 10)));
    panel.setGeometry(359, 13, 365, 268);
}

TEST(InfoMessageTest, UnitPanelShowsHeadingAndFourStepsInItsLayout) {
    QWidget parent;
    parent.resize(730, 533);
    CInfoMessageWnd panel;
    CreateAndPlace(parent, panel);
    EXPECT_EQ(panel.metaObject()->className(), QByteArray("brevio::CInfoMessageWnd"));

    EXPECT_EQ(panel.GetInstructionText(), Steps({149, 150, 151, 152}));
    EXPECT_TRUE(panel.GetInstructionText().startsWith(QStringLiteral("\r\n1. ")));
    EXPECT_FALSE(panel.GetInstructionText().endsWith(u'\n'));
    ASSERT_NE(panel.HeadingControl(), nullptr);
    ASSERT_NE(panel.BodyControl(), nullptr);
    EXPECT_EQ(panel.HeadingControl()->text(), LoadString(148));
    EXPECT_EQ(panel.BodyControl()->text(), QString(panel.GetInstructionText()).remove(u'\r'));

    EXPECT_EQ(panel.HeadingControl()->geometry(), QRect(0, 0, 365, 40));
    EXPECT_EQ(panel.BodyControl()->geometry(), QRect(0, 40, 365, 228));

    const QFont heading = panel.HeadingControl()->font();
    const QFont body = panel.BodyControl()->font();
    EXPECT_EQ(heading.pixelSize(), 14);
    EXPECT_EQ(heading.weight(), QFont::DemiBold);
    EXPECT_EQ(body.pixelSize(), 12);
    EXPECT_EQ(body.weight(), QFont::Normal);
    EXPECT_EQ(heading.family(), LoadString(146));
}

TEST(InfoMessageTest, ChapterPanelHasTheSameHeadingAndThreeSteps) {
    QWidget parent;
    CInfoMessageWndChapter panel;
    CreateAndPlace(parent, panel);
    EXPECT_EQ(panel.metaObject()->className(), QByteArray("brevio::CInfoMessageWndChapter"));
    EXPECT_EQ(panel.GetInstructionText(), Steps({158, 159, 160}));
    EXPECT_EQ(panel.GetInstructionText().count(QStringLiteral("\r\n")), 3);
    EXPECT_EQ(panel.HeadingControl()->text(), LoadString(148));
    EXPECT_EQ(panel.BodyControl()->geometry(), QRect(0, 40, 365, 228));
}

}  // namespace
}  // namespace brevio
