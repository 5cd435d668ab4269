// The list box: selection notifications silent during bulk updates and
// when emptied, clicks separate from selection changes, pictured entries.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "controls/ListBox.h"

namespace varnholt::test {
namespace {

class ListBox : public ::testing::Test {
 protected:
  ListBox() {
    list.resize(200, 200);
    for (const char* text : {"first", "second", "third"})
      list.AddItem(text, Picture(), 14, 30);
  }
  static QPixmap Picture() {
    QPixmap p(16, 16);
    p.fill(Qt::red);
    return p;
  }
  QPoint Middle(int row) { return list.visualItemRect(list.item(row)).center(); }

  TListBox list;
  QSignalSpy changes{&list, &TListBox::Change};
  QSignalSpy clicks{&list, &TListBox::Click};
};

TEST_F(ListBox, ProgramSelectionsNotifyEachChange) {
  EXPECT_EQ(list.ItemIndex(), -1);
  list.SetItemIndex(1);
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_EQ(changes.count(), 1);
  list.SetItemIndex(1);  // no change
  EXPECT_EQ(changes.count(), 1);
  list.SetItemIndex(2);
  EXPECT_EQ(changes.count(), 2);
  list.SetItemIndex(-1);
  EXPECT_EQ(list.ItemIndex(), -1);
  EXPECT_EQ(changes.count(), 3);
  list.SetItemIndex(0);
  list.SetItemIndex(7);  // names no entry: no selection
  EXPECT_EQ(list.ItemIndex(), -1);
  EXPECT_EQ(changes.count(), 5);
  EXPECT_EQ(clicks.count(), 0);  // selecting is no click
}

TEST_F(ListBox, BulkUpdatesAreSilentAndNothingIsRaisedAfterwards) {
  list.BeginUpdate();
  list.BeginUpdate();
  list.SetItemIndex(2);
  list.EndUpdate();
  list.SetItemIndex(0);  // still inside the outer update
  list.EndUpdate();
  EXPECT_EQ(changes.count(), 0);
  EXPECT_EQ(list.ItemIndex(), 0);
  list.SetItemIndex(0);
  EXPECT_EQ(changes.count(), 0);  // what the update set counts as seen
  list.SetItemIndex(1);
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(ListBox, RemovingAllEntriesClearsTheSelectionSilently) {
  list.SetItemIndex(1);
  changes.clear();
  list.Clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.ItemIndex(), -1);
  EXPECT_EQ(changes.count(), 0);
  // Refilled, a selection is a change again.
  list.AddItem("again", Picture(), 14, 30);
  list.SetItemIndex(0);
  EXPECT_EQ(changes.count(), 1);
}

TEST_F(ListBox, AClickIsNotifiedApartFromTheSelectionChange) {
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, Middle(1));
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(clicks.count(), 1);
  // The entry already selected: a click, no change.
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, Middle(1));
  EXPECT_EQ(changes.count(), 1);
  EXPECT_EQ(clicks.count(), 2);

  QSignalSpy doubles(&list, &TListBox::DblClick);
  QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, Middle(2));
  EXPECT_EQ(doubles.count(), 1);
}

TEST_F(ListBox, EntriesCarryTheirPictureFontAndHeight) {
  QListWidgetItem* item = list.AddItem("Camera", Picture(), 18, 44);
  EXPECT_EQ(item->text(), "Camera");
  EXPECT_EQ(item->font().pixelSize(), 18);
  EXPECT_EQ(item->sizeHint().height(), 44);
  EXPECT_EQ(item->foreground().color(), QColor(Qt::white));
  EXPECT_FALSE(item->icon().isNull());
  EXPECT_EQ(list.visualItemRect(item).height(), 44);
  EXPECT_EQ(list.focusPolicy(), Qt::NoFocus);
}

}  // namespace
}  // namespace varnholt::test
