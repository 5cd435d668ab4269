// Edge alignment: how siblings stack, take what remains, keep margins and
// give their space up when hidden.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QWidget>

#include "controls/AlignLayout.h"

namespace varnholt::test {
namespace {

using Align = TAlignLayout::Align;

class AlignLayout : public ::testing::Test {
 protected:
  AlignLayout() : layout(new TAlignLayout(&parent)) { parent.resize(400, 300); }

  QWidget* Child(Align align, QSize size, QMargins margins = {}) {
    auto* w = new QWidget(&parent);
    w->resize(size);
    layout->Add(w, align, margins);
    return w;
  }
  void Settle() {
    layout->activate();
    layout->setGeometry(parent.rect());
  }

  QWidget parent;
  TAlignLayout* layout;
};

TEST_F(AlignLayout, EdgesStackInOrderAndClientTakesTheRest) {
  QWidget* top1 = Child(Align::Top, {0, 30}, {5, 5, 5, 0});
  QWidget* top2 = Child(Align::Top, {0, 20});
  QWidget* left = Child(Align::Left, {50, 0}, {0, 0, 10, 0});
  QWidget* right = Child(Align::Right, {40, 0});
  QWidget* bottom = Child(Align::Bottom, {0, 24});
  QWidget* client = Child(Align::Client, {1, 1}, {1, 1, 1, 1});
  Settle();
  EXPECT_EQ(top1->geometry(), QRect(5, 5, 390, 30));
  EXPECT_EQ(top2->geometry(), QRect(0, 35, 400, 20));
  EXPECT_EQ(bottom->geometry(), QRect(0, 276, 400, 24));
  EXPECT_EQ(left->geometry(), QRect(0, 55, 50, 221));
  EXPECT_EQ(right->geometry(), QRect(360, 55, 40, 221));
  EXPECT_EQ(client->geometry(), QRect(61, 56, 298, 219));
}

TEST_F(AlignLayout, MostAlignmentsGoOutermostAndMostBottomSpansBelowMostLeft) {
  QWidget* top = Child(Align::Top, {0, 20});
  QWidget* mostTop = Child(Align::MostTop, {0, 10});
  QWidget* mostLeft = Child(Align::MostLeft, {100, 0}, {5, 0, 5, 0});
  QWidget* mostBottom = Child(Align::MostBottom, {0, 24});
  QWidget* left = Child(Align::Left, {30, 0});
  Settle();
  EXPECT_EQ(mostTop->geometry(), QRect(0, 0, 400, 10));
  EXPECT_EQ(mostBottom->geometry(), QRect(0, 276, 400, 24));
  EXPECT_EQ(mostLeft->geometry(), QRect(5, 10, 100, 266));
  EXPECT_EQ(top->geometry(), QRect(110, 10, 290, 20));
  EXPECT_EQ(left->geometry(), QRect(110, 30, 30, 246));
}

TEST_F(AlignLayout, ContentsCoversTheParentCenterKeepsItsSizeAndNoneStaysPut) {
  QWidget* top = Child(Align::Top, {0, 100});
  QWidget* contents = Child(Align::Contents, {1, 1});
  QWidget* centre = Child(Align::Center, {100, 50}, {0, 0, 0, 50});
  QWidget* free = Child(Align::None, {10, 10});
  free->move(7, 9);
  Settle();
  EXPECT_EQ(top->geometry(), QRect(0, 0, 400, 100));
  EXPECT_EQ(contents->geometry(), QRect(0, 0, 400, 300));
  EXPECT_EQ(centre->geometry(), QRect(150, 100, 100, 50));  // centred above the 50 margin
  EXPECT_EQ(free->geometry(), QRect(7, 9, 10, 10));
}

TEST_F(AlignLayout, FitFollowsTheTextAndTheStackedHeightCanBeTheMinimum) {
  auto* label = new QLabel("0", &parent);
  layout->Add(label, Align::Fit);
  Child(Align::Top, {0, 30}, {0, 5, 0, 5});
  Child(Align::Bottom, {0, 20});
  Child(Align::Left, {50, 900});  // spans the height: asks for none
  Settle();
  EXPECT_EQ(label->size(), label->sizeHint());
  label->setText("-36000 and more");
  Settle();
  EXPECT_EQ(label->size(), label->sizeHint());
  EXPECT_EQ(label->geometry().center().x(), QRect(0, 40, 400, 240).center().x());

  EXPECT_EQ(layout->minimumSize(), QSize(0, 0));  // sizes come from the design
  layout->SetMinimumFromContents(true);
  EXPECT_EQ(layout->minimumSize(), QSize(0, 60));
}

TEST_F(AlignLayout, HiddenChildrenTakeNoSpaceAndNegativeMarginsOverlap) {
  QWidget* a = Child(Align::Top, {0, 30});
  QWidget* b = Child(Align::Top, {0, 40}, {0, 0, 0, 0});
  QWidget* c = Child(Align::Top, {0, 10}, {0, -5, 0, 0});
  a->hide();
  Settle();
  EXPECT_EQ(b->geometry(), QRect(0, 0, 400, 40));
  EXPECT_EQ(c->geometry(), QRect(0, 35, 400, 10));
  a->show();
  Settle();
  EXPECT_EQ(b->geometry(), QRect(0, 30, 400, 40));
}

TEST_F(AlignLayout, AChildResizedByCodeMovesItsSiblings) {
  QWidget* list = Child(Align::Top, {0, 100});
  QWidget* below = Child(Align::Top, {0, 20});
  parent.show();
  Settle();
  EXPECT_EQ(below->y(), 100);
  list->resize(list->width(), 46);
  QCoreApplication::sendPostedEvents(&parent, QEvent::LayoutRequest);
  EXPECT_EQ(list->height(), 46);
  EXPECT_EQ(below->y(), 46);
}

TEST_F(AlignLayout, AShrinkingParentNeverGivesNegativeSizes) {
  Child(Align::Top, {0, 200});
  QWidget* client = Child(Align::Client, {1, 1});
  QWidget* right = Child(Align::Right, {500, 0});
  Settle();
  EXPECT_GE(client->width(), 0);
  EXPECT_GE(client->height(), 0);
  EXPECT_EQ(right->width(), 500);
}

}  // namespace
}  // namespace varnholt::test
