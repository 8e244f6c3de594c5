#include "app/layout.h"

#include "form_fixture.h"

namespace kolvane {
namespace {

TEST(ResizeLayout, DesignClientAreaGivesTheDesignedPlaces) {
  const ResizeLayout l = ComputeResizeLayout(6345, 4890);
  EXPECT_FLOAT_EQ(l.Text1Width, 2465);
  EXPECT_FLOAT_EQ(l.WideWidth, 6115);
  EXPECT_FLOAT_EQ(l.Command5Left, 0);
  EXPECT_FLOAT_EQ(l.Command6Left, 3172.5f);
  EXPECT_FLOAT_EQ(l.HalfWidth, 3172.5f);
  EXPECT_FLOAT_EQ(l.BottomTop, 4470);
}

TEST(ResizeLayout, EveryControlStaysInsideTheClientArea) {
  // Client areas that thicker frames, other DPIs and resizing leave.
  for (const float w : {6345.0f, 6105.0f, 4230.0f, 9999.0f, 4001.0f}) {
    for (const float h : {4890.0f, 4065.0f, 7000.0f}) {
      const ResizeLayout l = ComputeResizeLayout(w, h);
      EXPECT_FLOAT_EQ(120 + l.WideWidth, w - 110) << w;
      EXPECT_FLOAT_EQ(3720 + l.Text1Width, w - 160) << w;
      EXPECT_FLOAT_EQ(l.Command6Left + l.HalfWidth, w) << w;
      EXPECT_FLOAT_EQ(l.Command5Left + l.HalfWidth, l.Command6Left) << w;
      EXPECT_FLOAT_EQ(l.BottomTop, h - 420) << h;
    }
  }
}

TEST(ResizeLayout, WiderAndTaller) {
  const ResizeLayout base = ComputeResizeLayout(6345, 4890);
  const ResizeLayout wide = ComputeResizeLayout(6345 + 1001, 4890);
  EXPECT_FLOAT_EQ(wide.Text1Width - base.Text1Width, 1001);
  EXPECT_FLOAT_EQ(wide.WideWidth - base.WideWidth, 1001);
  EXPECT_FLOAT_EQ(wide.HalfWidth - base.HalfWidth, 500.5f);
  EXPECT_FLOAT_EQ(wide.Command6Left - base.Command6Left, 500.5f);
  EXPECT_FLOAT_EQ(wide.BottomTop, base.BottomTop);

  const ResizeLayout tall = ComputeResizeLayout(6345, 4890 + 600);
  EXPECT_FLOAT_EQ(tall.BottomTop, 4470 + 600);
  EXPECT_FLOAT_EQ(tall.Text1Width, base.Text1Width);
  EXPECT_FLOAT_EQ(tall.HalfWidth, base.HalfWidth);
}

TEST(ResizeLayout, SmallWindowsGetNoNegativeWidth) {
  for (const float w : {3879.0f, 180.0f, 0.0f}) {
    const ResizeLayout l = ComputeResizeLayout(w, 0);
    EXPECT_GE(l.Text1Width, 0) << w;
    EXPECT_GE(l.WideWidth, 0) << w;
    EXPECT_GE(l.HalfWidth, 0) << w;
    EXPECT_GE(l.Command6Left, 0) << w;
  }
  EXPECT_FLOAT_EQ(ComputeResizeLayout(3879, 0).WideWidth, 3649);
}

using ResizeTest = FormTest;

TEST_F(ResizeTest, ElevenAssignmentsInOrder) {
  ASSERT_EQ(Start(), Form1::AfterLoad::ShowWindow);
  form.Form_Resize();
  const std::vector<std::pair<Control, std::wstring>> expected{
      {Control::Text1, L"Width"},    {Control::Label3, L"Width"},   {Control::Command1, L"Width"},
      {Control::Command2, L"Width"}, {Control::Command3, L"Width"}, {Control::Command5, L"Top"},
      {Control::Command5, L"Left"},  {Control::Command5, L"Width"}, {Control::Command6, L"Top"},
      {Control::Command6, L"Left"},  {Control::Command6, L"Width"}};
  ASSERT_EQ(m.view.writes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(m.view.writes[i].control, expected[i].first) << i;
    EXPECT_EQ(m.view.writes[i].property, expected[i].second) << i;
  }
  EXPECT_FLOAT_EQ(m.view.writes[9].value, 3172.5f);
}

TEST_F(ResizeTest, MinimizedWindowIsLeftAlone) {
  ASSERT_EQ(Start(), Form1::AfterLoad::ShowWindow);
  m.view.minimized = true;
  m.view.clientWidth = 0;
  form.Form_Resize();
  EXPECT_TRUE(m.view.writes.empty());
}

}  // namespace
}  // namespace kolvane
